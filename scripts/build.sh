#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what a CMake preset needs where it is missing, then configures and builds it
# (default: dev).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}
# What the preset needs, where it is missing: the Windows builds their cross compilers, Wine and
# the libraries they link in.
case "$preset" in
  win64) scripts/install-deps.sh --wine && scripts/build-windows-libs.sh x86_64 ;;
  win32) scripts/install-deps.sh --wine && scripts/build-windows-libs.sh i686 ;;
  *) scripts/install-deps.sh ;;
esac
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
