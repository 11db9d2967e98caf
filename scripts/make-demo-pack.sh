#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes a mission pack as players download them, for the screenshots and for trying the install:
# a zip that mirrors the game's folders, with a mission and its text file, a newer Night Patrol
# (it replaces the demo's own), a campaign of two missions and a readme.
# Usage: make-demo-pack.sh OUT.zip
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(cd "$(dirname "${1:?usage: make-demo-pack.sh OUT.zip}")" && pwd)/$(basename "$1")
src=$(mktemp -d /tmp/sortilex-pack-XXXXXX)
trap 'rm -rf "$src"' EXIT
missions="$src/Coastal Pack/Data/Missions" campaigns="$src/Coastal Pack/Data/Campaigns/Coastal Nights"
mkdir -p "$missions" "$campaigns"
# A mission of the demo with a briefing of its own.
briefed() {  # demo mission, briefing line
  awk -v text="$2" '/^\.MissionSummary/ { print ".MissionSummary\r"; print text "\r"; skip = 1; next }
    /^\.EndMissionSummary/ { skip = 0 } !skip' "$here/demo/Missions/$1"
}
briefed "Night Patrol.mis" "Night patrol, revised: the bridges are down, patrol the ford." >"$missions/Night Patrol.mis"
briefed "Channel Sweep.mis" "Raid the coastal radar at first light." >"$missions/Coastal Raid.mis"
printf 'Coastal Raid: fly low over the water.\r\n' >"$missions/Coastal Raid.txt"
briefed "harbour strike.mis" "Night one: the harbour." >"$campaigns/01 Harbour.mis"
briefed "Zephyr Training.mis" "Night two: the lighthouse." >"$campaigns/02 Lighthouse.mis"
printf 'Coastal Pack 1.2 - unpack into your game folder.\r\n' >"$src/Coastal Pack/readme.txt"
rm -f "$out"
(cd "$src" && bsdtar --format zip -cf "$out" "Coastal Pack")
