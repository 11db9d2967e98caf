#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package: build/release/sortilex_<version>_<arch>.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/build.sh" release >/dev/null
(cd build/release && cpack -G DEB >/dev/null)
ls "$root"/build/release/sortilex_*.deb
