#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that the portable code stays ready for the Windows build.

The framework, resource, OS-interface, logic and application files are compiled with MinGW-w64
with <windows.h> included first (every .cpp, with -include windows.h), and every header of them
is compiled with <windows.h> included before it and after it. Then every identifier in those
headers is looked up among the macros <windows.h> defines: compiling alone misses a member that
a macro renames consistently (MessageBox becomes MessageBoxA), which then no longer overrides in
a Win32 host that sees the other name.

Usage: check-windows-headers.py [SOURCE_ROOT]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
FOLDERS = ["base", "ui", "resources", "os", "catalogue", "missionfile", "launch", "results", "app"]
BACKEND_FOLDERS = ["os/posix", "os/wine", "os/win32"]


def compiler():
    for name in ("x86_64-w64-mingw32-g++-posix", "x86_64-w64-mingw32-g++"):
        if shutil.which(name):
            return name
    sys.exit("check-windows-headers: the MinGW-w64 compiler is not installed")


def sources():
    for folder in FOLDERS:
        base = os.path.join(ROOT, folder)
        for name in sorted(os.listdir(base)):
            path = os.path.join(base, name)
            rel = os.path.relpath(path, ROOT).replace(os.sep, "/")
            if os.path.isfile(path) and name.endswith((".h", ".cpp")) and name != "Main.cpp":
                if not any(rel.startswith(b + "/") for b in BACKEND_FOLDERS):
                    yield rel


def version_header(out_dir):
    """The generated version header, made the way CMake makes it."""
    cmake = open(os.path.join(ROOT, "CMakeLists.txt")).read()
    version = re.search(r"project\(\w+ VERSION ([0-9.]+)", cmake).group(1)
    major, minor = version.split(".")[:2]
    text = open(os.path.join(ROOT, "resources", "Version.h.in")).read()
    text = (text.replace("@PROJECT_VERSION@", version)
            .replace("@PROJECT_VERSION_MAJOR@", major).replace("@PROJECT_VERSION_MINOR@", minor))
    os.makedirs(os.path.join(out_dir, "version"), exist_ok=True)
    with open(os.path.join(out_dir, "version", "Version.h"), "w") as f:
        f.write(text)


def strip_comments_and_literals(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"//[^\n]*", " ", text)
    text = re.sub(r'"(\\.|[^"\\])*"', '""', text)
    text = re.sub(r"'(\\.|[^'\\])*'", "''", text)
    return text


def main():
    cxx = compiler()
    work = tempfile.mkdtemp(prefix="sortilex-windows-headers-")
    version_header(work)
    flags = [cxx, "-std=c++20", "-fsyntax-only", "-I", ROOT, "-I", work]
    failures = []

    def compile_unit(label, code=None, path=None, extra=()):
        cmd = flags + list(extra) + (["-x", "c++", "-"] if code is not None else [path])
        r = subprocess.run(cmd, input=code, capture_output=True, text=True, cwd=ROOT)
        if r.returncode != 0:
            failures.append(f"{label}:\n{r.stderr.strip()[:3000]}")

    files = list(sources())
    units = []
    for rel in files:
        if rel.endswith(".cpp"):
            units.append((f"{rel} with -include windows.h", None, rel, ["-include", "windows.h"]))
        else:
            units.append((f"{rel} after windows.h", f'#include <windows.h>\n#include "{rel}"\n', None, []))
            units.append((f"{rel} before windows.h", f'#include "{rel}"\n#include <windows.h>\n', None, []))
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        list(pool.map(lambda u: compile_unit(u[0], code=u[1], path=u[2], extra=u[3]), units))

    macros = subprocess.run([cxx, "-x", "c++", "-dM", "-E", "-"], input="#include <windows.h>\n",
                            capture_output=True, text=True, check=True).stdout
    names = {m.group(1) for m in re.finditer(r"^#define (\w+)", macros, re.M)}
    clashes = []
    for rel in files:
        if not rel.endswith(".h"):
            continue
        text = strip_comments_and_literals(open(os.path.join(ROOT, rel), encoding="utf-8").read())
        # Preprocessor directives name headers and pragmas, not code.
        text = re.sub(r"^\s*#.*$", " ", text, flags=re.M)
        for ident in sorted(set(re.findall(r"\b[A-Za-z_]\w*\b", text)) & names):
            clashes.append(f"{rel}: '{ident}' is a macro of <windows.h>")
    shutil.rmtree(work, ignore_errors=True)

    print(f"Compiled {len(files)} files with {cxx} and <windows.h>; "
          f"looked up their headers' identifiers among {len(names)} macros.")
    if failures or clashes:
        for f in failures:
            print("FAILED " + f)
        for c in clashes:
            print("CLASH  " + c)
        return 1
    print("Windows header check passed.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
