#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes screenshots of Sortilex's three windows on the demo installation, under a virtual X
# server (with the openbox window manager where installed, so captions show):
#   main.png     the main window with the first single mission selected
#   about.png    the about box, opened from the window menu (Shift+F10)
#   results.png  the results table after a run of the substitute game
#   installations.png  the window menu's game installations, in a home holding the game twice
#   list-menu.png, batch-dialog.png, batch-progress.png, batch-summary.png
#                the mission list's menu, one callsign for the whole list, its progress window
#                (while another program holds a mission a few seconds) and its summary
#   install-confirm.png, install-summary.png
#                a mission pack installed from the list's menu: what goes where, and afterwards
# Usage: screenshot.sh [--scale FACTOR] [OUTPUT_DIR]   (default: build/screenshots)
#   --scale 1.5 or 2 shows the windows as on a high-density screen (QT_SCALE_FACTOR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scale=1
if [ "${1:-}" = "--scale" ]; then scale=$2; shift 2; fi
out=$(mkdir -p "${1:-$root/build/screenshots}" && cd "${1:-$root/build/screenshots}" && pwd)
exe="$root/build/dev/Sortilex"
[ -x "$exe" ] && [ -x "$root/build/dev/tools/vnt.exe" ] || "$root/scripts/build.sh" dev
prefix=$(mktemp -d /tmp/sortilex-shots-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
"$root/scripts/make-demo.sh" "$prefix" "$root/build/dev/tools/vnt.exe"
export WINEPREFIX="$prefix" SORTILEX_VNT_SECONDS=1
[ "$scale" = 1 ] || export QT_SCALE_FACTOR="$scale"

xvfb-run -a -s "-screen 0 2048x1536x24" bash -c '
  set -e
  exe=$1 out=$2
  command -v openbox >/dev/null && { openbox >/dev/null 2>&1 & sleep 1; }
  "$exe" & pid=$!
  shot() {  # window name pattern, file
    local id
    id=$(xdotool search --sync --name "$1" | tail -n 1)
    sleep 0.7
    # With a window manager, take the frame too, so the caption shows.
    local frame
    frame=$(xwininfo -id "$id" -children 2>/dev/null | sed -n "s/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p")
    if command -v openbox >/dev/null && [ -n "$frame" ] && [ "$frame" != "$(xwininfo -root | sed -n "s/.*Window id: \(0x[0-9a-f]*\).*/\1/p")" ]; then
      import -window "$frame" "$out/$2"
    else
      import -window "$id" "$out/$2"
    fi
  }
  shot "^Sortilex v2.1$" main.png
  xdotool key shift+F10; sleep 0.5; xdotool key o
  shot "Sortilex$" about.png
  xdotool key Return; sleep 0.5
  # Tab from the list to the launch button, launch, and answer Yes.
  xdotool key Tab Tab Return
  sleep 2.5; xdotool key Return
  shot "^Results Table$" results.png
  xdotool key Escape; sleep 0.5; xdotool key Escape
  wait $pid
' _ "$exe" "$out"

# The game twice in a home of its own (plain Wine's prefix, and a newer winetricks one), no
# WINEPREFIX: the window menu offers both.
home=$(mktemp -d /tmp/sortilex-shots-home-XXXXXX)
trap 'rm -rf "$prefix" "$home"' EXIT
"$root/scripts/make-demo.sh" "$home/.wine" "$root/build/dev/tools/vnt.exe"
"$root/scripts/make-demo.sh" "$home/.local/share/wineprefixes/vantorra" "$root/build/dev/tools/vnt.exe"
touch -d '1 hour ago' "$home/.wine/system.reg"
env -u WINEPREFIX HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
  xvfb-run -a -s "-screen 0 2048x1536x24" bash -c '
  set -e
  exe=$1 out=$2
  command -v openbox >/dev/null && { openbox >/dev/null 2>&1 & sleep 1; }
  "$exe" & pid=$!
  id=$(xdotool search --sync --name "^Sortilex v2.1$" | tail -n 1)
  sleep 0.7
  xdotool key shift+F10; sleep 0.4
  xdotool key Down Down Down Right; sleep 0.6
  eval "$(xdotool getwindowgeometry --shell "$id")"
  import -window root -crop "$((WIDTH + 420))x$((HEIGHT + 60))+$((X - 20))+$((Y - 40))" "$out/installations.png"
  xdotool key Escape Escape; sleep 0.3; xdotool key Escape
  wait $pid
' _ "$exe" "$out"
# The mission list's menu and one callsign for the whole list. Another program holds one mission
# for a few seconds (an flock, as another launcher takes it), so the progress window shows.
xvfb-run -a -s "-screen 0 2048x1536x24" bash -c '
  set -e
  exe=$1 out=$2 missions=$3
  command -v openbox >/dev/null && { openbox >/dev/null 2>&1 & sleep 1; }
  "$exe" & pid=$!
  shot() {  # window name pattern, file: the window with its frame where there is one
    local id frame
    id=$(xdotool search --sync --onlyvisible --name "$1" | tail -n 1)
    sleep 0.7
    frame=$(xwininfo -id "$id" -children 2>/dev/null | sed -n "s/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p")
    if command -v openbox >/dev/null && [ -n "$frame" ] && [ "$frame" != "$(xwininfo -root | sed -n "s/.*Window id: \(0x[0-9a-f]*\).*/\1/p")" ]; then
      import -window "$frame" "$out/$2"
    else
      import -window "$id" "$out/$2"
    fi
  }
  id=$(xdotool search --sync --name "^Sortilex v2.1$" | tail -n 1)
  sleep 0.7
  # The list has the focus: Shift+F10 opens its menu beside the selected mission.
  xdotool key shift+F10; sleep 0.6
  eval "$(xdotool getwindowgeometry --shell "$id")"
  import -window root -crop "$((WIDTH + 20))x$((HEIGHT + 42))+$((X - 10))+$((Y - 32))" "$out/list-menu.png"
  xdotool key Down Down Return
  shot "^Callsign for all missions$" batch-dialog.png
  xdotool key ctrl+a; xdotool type --delay 20 "Red Leader"
  flock "$missions/Night Patrol.mis" sleep 6 & sleep 0.3
  xdotool key Return
  shot "^Setting callsign$" batch-progress.png
  shot "^Sortilex$" batch-summary.png
  xdotool key Return; sleep 0.5; xdotool key Escape
  wait $pid
' _ "$exe" "$out" "$prefix/drive_c/Games/Vantorra/Data/Missions"
# A mission pack from the list's menu: its name typed in the file dialog, the confirmation, the
# summary (the replaced mission in the run's own trash).
"$root/scripts/make-demo-pack.sh" "$prefix/Coastal Pack.zip"
XDG_DATA_HOME="$prefix/data" xvfb-run -a -s "-screen 0 2048x1536x24" bash -c '
  set -e
  exe=$1 out=$2 pack=$3
  command -v openbox >/dev/null && { openbox >/dev/null 2>&1 & sleep 1; }
  "$exe" & pid=$!
  shot() {  # window name pattern, file: the window with its frame where there is one
    local id frame
    id=$(xdotool search --sync --onlyvisible --name "$1" | tail -n 1)
    sleep 0.7
    frame=$(xwininfo -id "$id" -children 2>/dev/null | sed -n "s/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p")
    if command -v openbox >/dev/null && [ -n "$frame" ] && [ "$frame" != "$(xwininfo -root | sed -n "s/.*Window id: \(0x[0-9a-f]*\).*/\1/p")" ]; then
      import -window "$frame" "$out/$2"
    else
      import -window "$id" "$out/$2"
    fi
  }
  xdotool search --sync --name "^Sortilex v2.1$" >/dev/null
  sleep 0.7
  xdotool key shift+F10; sleep 0.6; xdotool key Down Return
  xdotool search --sync --onlyvisible --name "^Install missions$" >/dev/null
  sleep 0.7
  xdotool type --delay 10 "$pack"; xdotool key Return
  sleep 1.5
  shot "^Install missions$" install-confirm.png
  xdotool key Return
  shot "^Sortilex$" install-summary.png
  xdotool key Return; sleep 0.5
  shot "^Sortilex v2.1$" install-after.png
  xdotool key Escape
  wait $pid
' _ "$exe" "$out" "$prefix/Coastal Pack.zip"
ls "$out"/main.png "$out"/about.png "$out"/results.png "$out"/installations.png "$out"/list-menu.png \
  "$out"/batch-dialog.png "$out"/batch-progress.png "$out"/batch-summary.png \
  "$out"/install-confirm.png "$out"/install-summary.png
