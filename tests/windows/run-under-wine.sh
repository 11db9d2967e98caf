#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs Windows test programs under Wine: in a fresh prefix, with the X11 driver set so that Wine
# gives windows the focus itself (there is no window manager), inside a virtual X server.
# Usage: run-under-wine.sh PROGRAM.exe...
set -euo pipefail
work=$(mktemp -d /tmp/sortilex-windows-XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
x11='HKCU\Software\Wine\X11 Driver'
wine reg add "$x11" /v Managed /d N /f >/dev/null 2>&1
wine reg add "$x11" /v UseTakeFocus /d N /f >/dev/null 2>&1
# The demo game, installed as its installer leaves it: its key written by wine reg.
key='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\vnt.exe'
wine reg add "$key" /ve /d 'C:\Games\Vantorra\vnt.exe' /f >/dev/null 2>&1
wine reg add "$key" /v Path /d 'C:\Games\Vantorra' /f >/dev/null 2>&1
demo="$(cd "$(dirname "$0")/../../scripts/demo" && pwd)"
mkdir -p "$WINEPREFIX/drive_c/Games/Vantorra/Data/Missions"
cp "$demo"/Missions/*.mis "$WINEPREFIX/drive_c/Games/Vantorra/Data/Missions/"
export SORTILEX_DEMO_GAME='C:\Games\Vantorra'
# A link of the host named like a mission, to a folder: Wine shows it as a reparse point.
mkdir -p "$WINEPREFIX/drive_c/links/target"
printf '\t.IsPlayer\r\n\t.Skill  1\r\n\t.Callsign  Old\r\n' > "$WINEPREFIX/drive_c/links/target/inside.mis"
ln -s target "$WINEPREFIX/drive_c/links/x.mis"
export SORTILEX_LINK_FOLDER='C:\links'
wineserver -w

xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash -c '
  status=0
  for program in "$@"; do
    echo "== $(basename "$program") under Wine =="
    wine "$program" || status=1
    # Each program starts on its own: what Wine keeps running after a program with windows
    # (its desktop process) would otherwise meet the next one.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  done
  exit $status
' _ "$@"
