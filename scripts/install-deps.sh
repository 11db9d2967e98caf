#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Sortilex needs to build, run and test, where they are missing.
# Runs as root, or through sudo. With --wine, also Wine and the MinGW-w64 cross compilers, which
# the Windows build and the tests through real Wine need.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config python3
  qt6-base-dev libgl-dev libyaml-cpp-dev nlohmann-json3-dev libarchive-dev
  libarchive-tools 7zip unzip zip
  libgtest-dev googletest libbenchmark-dev clang libclang-rt-14-dev
  xvfb xauth x11-utils xdotool imagemagick openbox dpkg-dev file
  lintian desktop-file-utils appstream time
  fonts-liberation fonts-dejavu-core
)
if [ "${1:-}" = "--wine" ]; then
  packages+=(wine wine64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Please run as root, or install sudo: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
