#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that Windows programs import only DLLs that come with Windows itself, so that the
# program runs where it is put, with nothing installed beside it.
# Usage: check-windows-dlls.sh PROGRAM.exe...
set -euo pipefail
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll comctl32.dll comdlg32.dll shell32.dll
ole32.dll msvcrt.dll"
status=0
for exe in "$@"; do
  case "$(file -b "$exe")" in
    *PE32+*) objdump=x86_64-w64-mingw32-objdump ;;
    *) objdump=i686-w64-mingw32-objdump ;;
  esac
  dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for dll in $dlls; do
    if ! grep -qw "$dll" <<<"$allowed"; then
      echo "FAIL: $exe imports $dll, which Windows does not bring"
      status=1
    fi
  done
  echo "$(basename "$(dirname "$exe")")/$(basename "$exe"): $(echo $dlls)"
done
exit $status
