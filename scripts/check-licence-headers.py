#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that every C++, CMake, shell and Python file of the repository names its licence in
its first lines (after a shebang); data files, pictures and fixtures carry none."""
import re
import subprocess
import sys
from pathlib import Path

TAG = "SPDX-License-Identifier: GPL-3.0-or-later"
SCRIPTS_WITHOUT_SUFFIX = {".ci/run", "scripts/run", "scripts/test"}


def wants_header(name: str) -> bool:
    if "/corpus/" in name:
        return False
    return (re.search(r"\.(cpp|h|h\.in|cmake|sh|py)$", name) is not None
            or name.endswith("CMakeLists.txt") or name in SCRIPTS_WITHOUT_SUFFIX)


def main() -> int:
    root = Path(__file__).resolve().parent.parent
    names = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"],
                           cwd=root, capture_output=True, text=True, check=True).stdout.split()
    missing = []
    for name in filter(wants_header, names):
        path = root / name
        if not path.is_file():
            continue
        head = path.read_text(encoding="utf-8", errors="replace").splitlines()[:2]
        if not any(TAG in line for line in head):
            missing.append(name)
    for name in missing:
        print(f"{name}: no '{TAG}' in its first lines")
    print(f"licence headers: {len(missing)} missing")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
