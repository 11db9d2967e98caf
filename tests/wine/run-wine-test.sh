#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes a real Wine prefix with the game installed in it, then runs the end-to-end test.
# Usage: run-wine-test.sh TEST_BINARY WINDOWS_GAME_EXE
set -euo pipefail
test_binary=$1
game_exe=$2

work=$(mktemp -d /tmp/sortilex-wine-XXXXXX)
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
key='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\vnt.exe'
wine reg add "$key" /ve /d 'C:\Games\Wine Game\vnt.exe' /f >/dev/null 2>&1
wine reg add "$key" /v Path /d 'C:\Games\Wine Game' /f >/dev/null 2>&1
wineserver -w  # the registry reaches system.reg when the server ends

game="$WINEPREFIX/drive_c/Games/Wine Game"
mkdir -p "$game/Data/Missions"
cp "$game_exe" "$game/vnt.exe"
printf '.MissionSummary\r\nThrough Wine.\r\n.EndMissionSummary\r\n\t.IsPlayer\r\n\t.Skill  1\r\n\t.Callsign  Wine Leader\r\n\t.MPCallsign  Wine Leader\r\n' \
  > "$game/Data/Missions/Strike One.mis"

export SORTILEX_VNT_SECONDS=1
export SORTILEX_VNT_RESULTS=$'Fighters: 7\nFightersByPlayer: 3\nBombers: 2\nAlliedFlak: 4\nAlliedFlakByPlayer: 1\nAxisArmor: 6\n'
export SORTILEX_VNT_LOG="$work/game.log"
"$test_binary"
