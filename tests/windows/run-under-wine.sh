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
# Mission packs as players get them, made here by the archivers of the host (the Windows side
# has none): a zip by bsdtar, a 7z by 7-Zip, of one layout with a name of another script, a
# program, and a readme beside the game's folders.
packs="$WINEPREFIX/drive_c/packs"
mkdir -p "$packs/src/Vantorra/Data/Missions/Ops" "$packs/src/Vantorra/Data/Campaigns/Autumn"
mission() { printf '.MissionSummary\r\n%s\r\n.EndMissionSummary\r\n\t.IsPlayer\r\n\t.Callsign  Ace\r\n' "$1"; }
(
  cd "$packs/src"
  mission Alpha >Vantorra/Data/Missions/Alpha.mis
  mission Beta >"Vantorra/Data/Missions/Ops/b$(printf '\xc3\xa9')ta.mis"
  mission Far >"Vantorra/Data/Missions/$(printf '\xe5\x90\x8d').mis"
  mission Autumn >Vantorra/Data/Campaigns/Autumn/c.mis
  printf '@echo off\r\n' >Vantorra/Data/Missions/run.bat
  printf 'Read me.\r\n' >Vantorra/readme.txt
  LC_ALL=C.UTF-8 bsdtar --format zip -cf ../layout.zip Vantorra
  LC_ALL=C.UTF-8 7zz a -bd ../layout.7z Vantorra >/dev/null
)
export SORTILEX_PACKS='C:\packs'
# The trash of the run, on the prefix's file system: Wine moves what the recycle bin takes there.
export XDG_DATA_HOME="$work/data"
mkdir -p "$XDG_DATA_HOME/Trash"
export SORTILEX_TRASH="Z:${XDG_DATA_HOME//\//\\}\\Trash"
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
