#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Lays out a demo game installation: a Wine prefix whose registry names the game's folder,
# drive C:, and the game's mission folders with the sample missions.
# Usage: make-demo.sh PREFIX_DIR [GAME_EXECUTABLE]
#   GAME_EXECUTABLE: the program installed as the game's vnt.exe (the substitute game).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${1:?usage: make-demo.sh PREFIX_DIR [GAME_EXECUTABLE]}
game_exe=${2:-}

game="$prefix/drive_c/Games/Vantorra"
mkdir -p "$prefix/dosdevices" "$game/Data/Missions" "$game/Data/Campaigns"
[ -e "$prefix/dosdevices/c:" ] || ln -s ../drive_c "$prefix/dosdevices/c:"

# Keep missions the user already changed; add the ones that are missing.
cp -n "$here"/demo/Missions/*.mis "$game/Data/Missions/"
cp -n "$here"/demo/Campaigns/*.mis "$game/Data/Campaigns/"
[ -z "$game_exe" ] || cp "$game_exe" "$game/vnt.exe"

cat > "$prefix/system.reg" <<'REG'
WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vnt.exe] 1796598835
#time=1dd85d777490044
@="C:\\Games\\Vantorra\\vnt.exe"
"Path"="C:\\Games\\Vantorra"
REG
