#!/usr/bin/env bash
# Takes a screenshot of Sortilex's main window on the demo installation under Xvfb.
# Usage: screenshot.sh [OUTPUT.png]   (default: build/screenshots/main.png)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/screenshots/main.png}
mkdir -p "$(dirname "$out")"
exe="$root/build/dev/Sortilex"
[ -x "$exe" ] || "$root/scripts/build.sh" dev
prefix="$root/build/demo-prefix"
"$root/scripts/make-demo.sh" "$prefix" "$root/build/dev/tools/vnt.exe"
export WINEPREFIX="$prefix"

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$0" & pid=$!
  for _ in $(seq 50); do
    id=$(xwininfo -root -tree 2>/dev/null | grep -m1 "\"Sortilex v2.1\"" | awk "{print \$1}") || true
    [ -n "$id" ] && break
    sleep 0.2
  done
  sleep 1
  if [ -n "$id" ]; then import -window "$id" "$1"; else import -window root "$1"; fi
  kill $pid 2>/dev/null || true
' "$exe" "$out"
echo "$out"
