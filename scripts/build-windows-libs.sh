#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libraries the Windows program links in, statically, with the project's MinGW-w64
# toolchain, from Debian's own source packages: libarchive (the archive reader), xz-utils'
# liblzma and bzip2 (its decompressors); zlib comes built from libz-mingw-w64-dev. The sources
# are fetched once into build/windows-libs/src with apt-get source, through a sources list and
# lists folder of this script's own made from the system's Debian entries (the system's apt
# configuration is not touched). Installs into build/windows-libs/<arch>; does nothing where a
# build is there already.
# Usage: build-windows-libs.sh x86_64|i686
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:?x86_64 or i686}
triple=$arch-w64-mingw32
work=$root/build/windows-libs
prefix=$work/$arch
[ -f "$prefix/lib/libarchive.a" ] && [ -f "$prefix/done" ] && exit 0
mkdir -p "$work/src" "$prefix/include" "$prefix/lib"

# ---- The sources, once ------------------------------------------------------------------------
"$root/scripts/fetch-sources.sh"
src_of() { ls -d "$work"/src/"$1"-*/ | head -n 1; }
libarchive=$(src_of libarchive) xz=$(src_of xz-utils) bzip2=$(src_of bzip2)
cc=$triple-gcc-posix
command -v "$cc" >/dev/null || cc=$triple-gcc
build=$work/build-$arch
rm -rf "$build"
mkdir -p "$build"

# ---- zlib: Debian's MinGW build --------------------------------------------------------------
cp /usr/"$triple"/include/zlib.h /usr/"$triple"/include/zconf.h "$prefix/include/"
cp /usr/"$triple"/lib/libz.a "$prefix/lib/"

# ---- bzip2: its library's sources compiled as they stand --------------------------------------
mkdir -p "$build/bzip2"
for f in blocksort huffman crctable randtable compress decompress bzlib; do
  "$cc" -O2 -D_FILE_OFFSET_BITS=64 -c "$bzip2/$f.c" -o "$build/bzip2/$f.o"
done
"$triple-ar" rcs "$prefix/lib/libbz2.a" "$build"/bzip2/*.o
cp "$bzip2/bzlib.h" "$prefix/include/"

# ---- liblzma ----------------------------------------------------------------------------------
mkdir -p "$build/xz"
# MinGW's headers say _M_X64, for which liblzma takes an intrinsic only <intrin.h> declares (the
# 32-bit build has assembler sources, which must not see it).
cflags=-O2
[ "$arch" != x86_64 ] || cflags="-O2 -include intrin.h"
(cd "$build/xz" && "$xz/configure" -q --host="$triple" CC="$cc" CFLAGS="$cflags" --prefix="$prefix" \
   --disable-shared --enable-static --disable-xz --disable-xzdec --disable-lzmadec \
   --disable-lzmainfo --disable-lzma-links --disable-scripts --disable-doc --disable-nls \
   --disable-threads >/dev/null && make -s -C src/liblzma -j"$(nproc)" install >/dev/null 2>&1)

# ---- libarchive: the reader alone, no program, no crypto, no other library --------------------
cmake -S "$libarchive" -B "$build/libarchive" -G Ninja \
  --toolchain "$root/cmake/toolchains/mingw-$arch.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" \
  -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
  -DBZIP2_LIBRARIES="$prefix/lib/libbz2.a" -DBZIP2_INCLUDE_DIR="$prefix/include" \
  -DLIBLZMA_LIBRARY="$prefix/lib/liblzma.a" -DLIBLZMA_INCLUDE_DIR="$prefix/include" \
  -DPOSIX_REGEX_LIB=NONE -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_TEST=OFF \
  -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_CNG=OFF \
  -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF -DENABLE_LIBGCC=OFF \
  -DENABLE_LZ4=OFF -DENABLE_LZO=OFF -DENABLE_ZSTD=OFF -DENABLE_ICONV=OFF \
  -DENABLE_ACL=OFF -DENABLE_XATTR=OFF -DENABLE_WERROR=OFF >/dev/null
cmake --build "$build/libarchive" --target archive_static >/dev/null
cp "$build/libarchive/libarchive/libarchive_static.a" "$prefix/lib/libarchive.a"
cp "$libarchive/libarchive/archive.h" "$libarchive/libarchive/archive_entry.h" "$prefix/include/"

# ---- The libraries' licence notices, for the zip ----------------------------------------------
mkdir -p "$prefix/licences"
cp "$libarchive/COPYING" "$prefix/licences/libarchive.txt"
cp "$xz/COPYING" "$prefix/licences/xz-utils.txt"
cp "$bzip2/LICENSE" "$prefix/licences/bzip2.txt"
cp /usr/share/doc/libz-mingw-w64-dev/copyright "$prefix/licences/zlib.txt"
touch "$prefix/done"
echo "Windows libraries for $arch in $prefix"
