#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fetches Debian's source packages of libarchive, xz-utils and bzip2 once into
# build/windows-libs/src: the Windows build compiles them, and the tests take RAR samples from
# libarchive's test data. apt-get source runs with a sources list and lists folder of this
# script's own, made from the system's Debian entries: the system's apt configuration is not
# touched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/windows-libs
ls -d "$work"/src/libarchive-*/ "$work"/src/xz-utils-*/ "$work"/src/bzip2-*/ >/dev/null 2>&1 && exit 0
mkdir -p "$work/src"
apt_dir=$work/apt
mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
: > "$apt_dir/empty.list"
# The system's Debian entries, for sources: deb822 files and one-line lists alike.
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && grep -q 'debian' "$f" && sed 's/^Types: deb$/Types: deb-src/' "$f" > "$apt_dir/parts/$(basename "$f")"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] && grep -E '^deb .*debian' "$f" | sed 's/^deb /deb-src /' >> "$apt_dir/parts/sortilex.list" || true
done
opts=(-o "Dir::Etc::SourceList=$apt_dir/empty.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
      -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o Debug::NoLocking=1
      -o APT::Sandbox::User=root)
apt-get -q "${opts[@]}" update >/dev/null
(cd "$work/src" && apt-get -q "${opts[@]}" source libarchive xz-utils bzip2 >/dev/null 2>&1)
