#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that the source folders keep their layers, and prints the include graph it checked.

Fails when
- a logic folder (catalogue, missionfile, launch, results) includes the application, a window
  host, an OS backend or a test;
- a folder other than a backend or a host includes an operating-system or window-system header
  (anything but the C++ standard library): Qt, POSIX or Windows;
- a folder includes a backend's or a host's headers without being that backend or host (the
  tests, benchmarks and fuzz targets may);
- the folders' include graph has a cycle.

Usage: check-layers.py [SOURCE_ROOT]
"""
import os
import re
import sys

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))

PRODUCT = ["base", "os", "ui", "resources", "catalogue", "missionfile", "launch", "results", "packs", "app"]
BACKENDS = ["os/posix", "os/wine", "os/win32", "os/archive"]
HOSTS = ["hosts/qt", "hosts/win32"]
LOGIC = ["catalogue", "missionfile", "launch", "results", "packs"]
OUTSIDE = ["tests", "bench", "fuzz", "tools"]  # not the product: they may reach everything
FOLDERS = sorted(PRODUCT + BACKENDS + HOSTS + OUTSIDE, key=len, reverse=True)

# The headers of the C++ standard library (with the C library's <c...> forms).
STANDARD = set("""
algorithm any array atomic barrier bit bitset charconv chrono codecvt compare complex concepts
condition_variable coroutine deque exception execution expected filesystem format forward_list
fstream functional future initializer_list iomanip ios iosfwd iostream istream iterator latch
limits list locale map memory memory_resource mutex new numbers numeric optional ostream queue
random ranges ratio regex scoped_allocator semaphore set shared_mutex source_location span
sstream stack stdexcept stop_token streambuf string string_view syncstream system_error thread
tuple type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant vector
version cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal
cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype
""".split())

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def folder_of(path):
    rel = os.path.relpath(path, ROOT).replace(os.sep, "/")
    for f in FOLDERS:
        if rel == f or rel.startswith(f + "/"):
            return f
    return None


def main():
    graph = {}  # folder -> set of folders it includes
    errors = []
    for dirpath, dirnames, filenames in os.walk(ROOT):
        rel = os.path.relpath(dirpath, ROOT)
        if rel.startswith("build") or rel.startswith(".git"):
            dirnames[:] = []
            continue
        for name in filenames:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(dirpath, name)
            src = folder_of(path)
            if src is None:
                continue
            where = os.path.relpath(path, ROOT)
            text = open(path, encoding="utf-8", errors="replace").read()
            for kind, target in INCLUDE.findall(text):
                if kind == "<":
                    system = target not in STANDARD
                    if system and src in PRODUCT:
                        errors.append(f"{where}: includes <{target}>, a system header outside a backend or host")
                    continue
                if "/" not in target:
                    continue  # beside the including file (a generated .moc)
                dst = folder_of(os.path.join(ROOT, target))
                if dst is None:
                    dst = target.split("/")[0]  # generated headers (version/)
                if dst == src:
                    continue
                graph.setdefault(src, set()).add(dst)
                if src in LOGIC and (dst == "app" or dst in HOSTS or dst in BACKENDS or dst in OUTSIDE):
                    errors.append(f"{where}: logic includes {target}")
                if (dst in BACKENDS or dst in HOSTS) and src not in OUTSIDE:
                    same_kind = (src in BACKENDS and dst in BACKENDS) or (src in HOSTS and dst in HOSTS)
                    if not same_kind:
                        errors.append(f"{where}: includes {target} of a backend or host")
                if src in PRODUCT and dst in OUTSIDE:
                    errors.append(f"{where}: the product includes {target}")

    # Cycles among the folders, by depth-first search.
    state = {}
    stack = []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                cycle = stack[stack.index(nxt):] + [nxt]
                errors.append("include cycle: " + " -> ".join(cycle))
            elif nxt not in state:
                visit(nxt)
        stack.pop()
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node)

    print("Include graph of the folders:")
    for src in sorted(graph):
        print(f"  {src:12} -> {', '.join(sorted(graph[src]))}")
    if errors:
        print("\nLayer check failed:")
        for e in sorted(set(errors)):
            print("  " + e)
        return 1
    print("\nLayer check passed: no forbidden include, no cycle.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
