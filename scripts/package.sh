#!/usr/bin/env bash
# Builds the Debian package: build/release/sortilex_<version>_<arch>.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/build.sh" release >/dev/null
(cd build/release && cpack -G DEB >/dev/null)
ls "$root"/build/release/sortilex_*.deb
