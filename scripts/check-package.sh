#!/usr/bin/env bash
# Installs the Debian package the way a user would, away from the build tree, starts the
# installed Sortilex under a virtual X server, closes it with Escape, and removes the package.
# Needs root (or sudo) to install.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deb=$("$root/scripts/package.sh" | tail -n 1)

work=$(mktemp -d /tmp/sortilex-package-XXXXXX)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
cp "$deb" "$work/"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
(cd "$work" && "${as_root[@]}" apt-get install -y -q ./"$(basename "$deb")" >"$work/install.log" 2>&1) \
  || { cat "$work/install.log"; exit 1; }

for f in /usr/bin/Sortilex /usr/share/applications/sortilex.desktop \
         /usr/share/icons/hicolor/16x16/apps/sortilex.png /usr/share/icons/hicolor/32x32/apps/sortilex.png; do
  [ -e "$f" ] || { echo "FAIL: $f is not installed"; exit 1; }
done

# The installed program, on a demo installation, from a folder that is not the build tree.
"$root/scripts/make-demo.sh" "$work/prefix"
cd "$work"
status=0
WINEPREFIX="$work/prefix" xvfb-run -a bash -c '
  /usr/bin/Sortilex & pid=$!
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
