#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets (clang, libFuzzer, address and undefined-behaviour sanitizers) and runs
# each for a while from its seed corpus in fuzz/corpus. A finding stops with a non-zero exit and
# leaves the input in build/fuzz/findings.
# Usage: fuzz.sh [SECONDS_EACH] [TARGET ...]     (default: 30 seconds, every target)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(LineReader Briefing Callsign Rewrite Results Registry Paths Escape)
cmake --preset fuzz >/dev/null
if ! cmake --build --preset fuzz >build/fuzz-build.log 2>&1; then
  echo "fuzz: the fuzz targets do not build:"; grep -E 'error|undefined reference' build/fuzz-build.log | head -n 30
  exit 1
fi
mkdir -p build/fuzz/findings
status=0
for t in "${targets[@]}"; do
  work="build/fuzz/corpus-work/$t"
  mkdir -p "$work"
  log="build/fuzz/$t.log"
  if build/fuzz/fuzz_$t -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="build/fuzz/findings/$t-" -print_final_stats=1 "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $t: ${seconds}s, ${runs:-?} runs, no finding"
  else
    echo "fuzz $t: FINDING (see $log and build/fuzz/findings)"; tail -n 30 "$log"
    status=1
  fi
done
exit $status
