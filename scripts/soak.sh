#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The long reliability runs: the callsign rewrite of one mission, and of every mission of a
# list, and the placing of an installed pack, each killed at random moments a thousand times; two
# launchers changing two missions of one folder for a thousand rounds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/build.sh" dev >/dev/null
ctest --preset dev -L soak --output-on-failure
