#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package by the book (lintian: no error, no warning; the desktop entry; the
# AppStream record), then installs it the way a user would, away from the build tree, starts the
# installed Sortilex under a virtual X server, closes it with Escape, and removes the package.
# Needs root (or sudo) to install.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deb=$("$root/scripts/package.sh" | tail -n 1)

checks=0
echo "lintian:"
lintian_out=$(lintian --fail-on error,warning "$deb" 2>&1) || checks=1
echo "$lintian_out" | grep -v "^running with root privileges" || true
unpacked=$(mktemp -d /tmp/sortilex-unpacked-XXXXXX)
dpkg-deb -x "$deb" "$unpacked"
echo "desktop-file-validate:"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop || checks=1
echo "appstreamcli validate:"
appstream_out=$(appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml 2>&1) || checks=1
echo "$appstream_out"
# Warnings fail the check too, not only errors.
if echo "$appstream_out" | grep -qE '^(W|E):'; then checks=1; fi
rm -rf "$unpacked"
[ $checks -eq 0 ] || { echo "FAIL: the package checks above"; exit 1; }

work=$(mktemp -d /tmp/sortilex-package-XXXXXX)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
cp "$deb" "$work/"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
(cd "$work" && "${as_root[@]}" apt-get install -y -q ./"$(basename "$deb")" >"$work/install.log" 2>&1) \
  || { cat "$work/install.log"; exit 1; }

for f in /usr/games/Sortilex /usr/share/applications/org.sortilex.Sortilex.desktop \
         /usr/share/metainfo/org.sortilex.Sortilex.metainfo.xml /usr/share/man/man6/Sortilex.6.gz \
         /usr/share/icons/hicolor/16x16/apps/sortilex.png /usr/share/icons/hicolor/256x256/apps/sortilex.png \
         /usr/share/icons/hicolor/scalable/apps/sortilex.svg; do
  [ -e "$f" ] || { echo "FAIL: $f is not installed"; exit 1; }
done

# The installed program, on a demo installation, from a folder that is not the build tree.
"$root/scripts/make-demo.sh" "$work/prefix"
cd "$work"
status=0
WINEPREFIX="$work/prefix" xvfb-run -a bash -c '
  /usr/games/Sortilex & pid=$!
  xdotool search --sync --name "Sortilex v2.1" >/dev/null
  sleep 1
  xdotool key Escape
  for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then echo "FAIL: Sortilex did not close on Escape"; kill $pid; exit 1; fi
  wait $pid
' || status=1
"${as_root[@]}" apt-get remove -y -q sortilex >/dev/null 2>&1 || true
[ $status -eq 0 ] && echo "package: installed, started, closed on Escape, removed"
exit $status
