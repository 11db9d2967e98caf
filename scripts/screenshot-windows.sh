#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes screenshots of the Windows build under Wine, on the demo installation, in a virtual X
# server: the main window at 96 and at 144 dots per inch (Wine's LogPixels), its window menu with
# the about entry, the about box; the mission list's menu, one callsign for the whole list, its
# progress window and its summary; a mission pack installed from that menu: the confirmation and
# the summary.
# Usage: screenshot-windows.sh [OUTPUT_DIR]   (default: build/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/build/screenshots}" && cd "${1:-$root/build/screenshots}" && pwd)
exe="$root/build/win64/Sortilex.exe"
[ -f "$exe" ] || "$root/scripts/build.sh" win64 >/dev/null

work=$(mktemp -d /tmp/sortilex-shots-XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
key='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\vnt.exe'
wine reg add "$key" /ve /d 'C:\Games\Vantorra\vnt.exe' /f >/dev/null 2>&1
wine reg add "$key" /v Path /d 'C:\Games\Vantorra' /f >/dev/null 2>&1
x11='HKCU\Software\Wine\X11 Driver'
wine reg add "$x11" /v Managed /d N /f >/dev/null 2>&1
wine reg add "$x11" /v UseTakeFocus /d N /f >/dev/null 2>&1
game="$WINEPREFIX/drive_c/Games/Vantorra"
mkdir -p "$game/Data/Missions" "$game/Data/Campaigns"
cp "$root"/scripts/demo/Missions/*.mis "$game/Data/Missions/"
cp "$root"/scripts/demo/Campaigns/*.mis "$game/Data/Campaigns/"

for dpi in 96 144; do
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -w
  xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" bash -c '
    exe=$1 out=$2 dpi=$3
    wine "$exe" & pid=$!
    id=$(xdotool search --sync --name "^Sortilex v2.1$" | head -n 1)
    sleep 2
    import -window "$id" "$out/windows-$dpi.png"
    if [ "$dpi" = 96 ]; then
      # The window menu (Alt+Space), then its last entry: the about box.
      xdotool key --window "$id" alt+space; sleep 1
      import -window root "$work_root" 2>/dev/null || true
      import -window root "$out/windows-menu.png"
      xdotool key o; sleep 1
      about=$(xdotool search --sync --name "ber Sortilex" | head -n 1)
      sleep 1
      import -window "$about" "$out/windows-about.png"
      xdotool key Return; sleep 0.5
    fi
    xdotool key --window "$id" Escape
    for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    kill $pid 2>/dev/null || true
  ' _ "$exe" "$out" "$dpi"
  wineserver -k 2>/dev/null || true
done
# One callsign for a list of 300 missions more: long enough a batch for its progress window.
for i in $(seq -w 1 300); do cp "$game/Data/Missions/Night Patrol.mis" "$game/Data/Missions/Sortie $i.mis"; done
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
wineserver -w
xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" bash -c '
  exe=$1 out=$2
  wine "$exe" & pid=$!
  id=$(xdotool search --sync --name "^Sortilex v2.1$" | head -n 1)
  sleep 2
  # The list has the focus: Shift+F10 opens its menu beside the selected mission.
  xdotool key shift+F10; sleep 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "$out/windows-list-menu.png"
  xdotool key Down Down Return
  dialog=$(xdotool search --sync --name "^Callsign for all missions$" | head -n 1)
  sleep 1
  import -window "$dialog" "$out/windows-batch-dialog.png"
  xdotool key ctrl+a; xdotool type --delay 20 "Red Leader"; xdotool key Return
  progress=$(xdotool search --sync --name "^Setting callsign$" | head -n 1)
  sleep 0.3
  import -window "$progress" "$out/windows-batch-progress.png"
  summary=$(xdotool search --sync --onlyvisible --name "^Sortilex$" | head -n 1)
  sleep 0.5
  import -window "$summary" "$out/windows-batch-summary.png"
  xdotool key Return; sleep 0.5
  xdotool key --window "$id" Escape
  for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill $pid 2>/dev/null || true
' _ "$exe" "$out"
# A mission pack from the list's menu: its name typed in the file dialog, the confirmation, the
# summary (the replaced mission in the recycle bin, which Wine keeps in the run's own trash).
"$root/scripts/make-demo-pack.sh" "$WINEPREFIX/drive_c/Coastal Pack.zip"
wineserver -w
XDG_DATA_HOME="$work/data" xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" bash -c '
  exe=$1 out=$2
  wine "$exe" & pid=$!
  id=$(xdotool search --sync --name "^Sortilex v2.1$" | head -n 1)
  sleep 2
  xdotool key shift+F10; sleep 1; xdotool key Down Return
  xdotool search --sync --onlyvisible --name "^Install missions$" >/dev/null
  sleep 1.5
  xdotool type --delay 10 "C:\\Coastal Pack.zip"; xdotool key Return
  sleep 2
  confirm=$(xdotool search --onlyvisible --name "^Install missions$" | head -n 1)
  import -window "$confirm" "$out/windows-install-confirm.png"
  xdotool key Return
  summary=$(xdotool search --sync --onlyvisible --name "^Sortilex$" | head -n 1)
  sleep 0.5
  import -window "$summary" "$out/windows-install-summary.png"
  xdotool key Return; sleep 0.5
  xdotool key --window "$id" Escape
  for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill $pid 2>/dev/null || true
' _ "$exe" "$out"
ls "$out"/windows-96.png "$out"/windows-144.png "$out"/windows-menu.png "$out"/windows-about.png \
  "$out"/windows-list-menu.png "$out"/windows-batch-dialog.png "$out"/windows-batch-progress.png \
  "$out"/windows-batch-summary.png "$out"/windows-install-confirm.png "$out"/windows-install-summary.png
