#!/usr/bin/env bash
# Measures Sortilex against the physical limits of this machine: each of its file operations
# beside the system tool that does the least possible work on the same file or folder, in one
# run, and prints the ratios with their targets.
# Usage: bench.sh            (files are made under build/bench-files)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
bin="$root/build/bench"
files="$root/build/bench-files"
rm -rf "$files"
mkdir -p "$files/catalogue" "$files/scan" "$files/small"

# A 64 MiB mission with no summary block and no player record: every read scans it all.
yes $'\t.Waypoint  12000 34000 3000 cruise 320 heading 270\r' | head -c $((64 << 20)) > "$files/scan/big.mis" || true
yes $'\t.Waypoint  12000 34000 3000 cruise 320 heading 270\r' | head -c $((64 << 10)) > "$files/small/small.mis" || true
mission=$'.MissionSummary\r\nA patrol.\r\n.EndMissionSummary\r\n\t.IsPlayer\r\nx\r\n\t.Callsign  Red\r\n\t.MPCallsign  Red\r\n'
for i in $(seq -w 1 10000); do printf '%s' "$mission" > "$files/catalogue/Mission $i.mis"; done
# Game installations of 10 and of 10,000 single missions for the window's start.
for n in 10 10000; do
  p="$files/prefix-$n"
  "$root/scripts/make-demo.sh" "$p" >/dev/null
  rm -f "$p/drive_c/Games/Vantorra/Data/Missions/"*.mis
  for i in $(seq -w 1 "$n"); do printf '%s' "$mission" > "$p/drive_c/Games/Vantorra/Data/Missions/Mission $i.mis"; done
done
"$root/scripts/make-demo.sh" "$files/prefix-demo" >/dev/null

echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)"
echo

# 1-3: Google Benchmark, our operation and its reference side by side.
"$bin/sortilex_bench" --files "$files" --benchmark_format=csv 2>/dev/null > "$files/bench.csv"
ms() { awk -F, -v n="\"$1\"" '$1 == n {print $3}' "$files/bench.csv"; }

# Median wall time, in milliseconds, of a command run several times.
median_ms() {
  local runs=$1; shift
  local t=()
  for _ in $(seq "$runs"); do
    local s e
    s=$(date +%s%N); "$@" >/dev/null 2>&1; e=$(date +%s%N)
    t+=($(( (e - s) / 1000 )))
  done
  printf '%s\n' "${t[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int((NR+1)/2)]/1000}'
}
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$files/xdg"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# Sortilex built to close its window as soon as it shows (the bench build's sortilex_startup).
open_ms() { WINEPREFIX="$1" median_ms 11 "$bin/sortilex_startup"; }
win10=$(open_ms "$files/prefix-10")
win10000=$(open_ms "$files/prefix-10000")
start=$(open_ms "$files/prefix-demo")
minimal=$(median_ms 11 "$bin/minimal_dialog")

# 4: peak memory with the big file against the same process with the small one.
small_kib=$("$bin/sortilex_bench" --memory "$files/small/small.mis")
big_kib=$("$bin/sortilex_bench" --memory "$files/scan/big.mis")

row() {  # name, ours, reference, target ratio, unit
  awk -v n="$1" -v a="$2" -v b="$3" -v t="$4" 'BEGIN {
    r = a / b; printf "| %-44s | %10.2f | %10.2f | %6.2f | %5.2f | %s |\n", n, a, b, r, t, (r <= t ? "holds" : "MISSED") }'
}
echo "| Target                                       |    Sortilex |  Reference |  Ratio | Limit | Result |"
echo "|----------------------------------------------|------------:|-----------:|-------:|------:|--------|"
row "Scan 64 MiB (briefing + callsign) / wc -l" "$(ms BM_Scan/min_time:2.000/real_time)" "$(ms BM_ScanReference_wc/min_time:2.000/real_time)" 2
row "Rewrite 64 MiB, fsync / cp + sync" "$(ms BM_Rewrite/min_time:3.000/real_time)" "$(ms BM_RewriteReference_cp_sync/min_time:3.000/real_time)" 1.5
row "Refresh 10,000 missions / ls -f" "$(ms BM_Catalogue/min_time:2.000/real_time)" "$(ms BM_CatalogueReference_ls/min_time:2.000/real_time)" 2
row "Window on 10,000 missions / on 10 (ms)" "$win10000" "$win10" 1.5
row "Start and close / minimal Qt dialog (ms)" "$start" "$minimal" 1.5
awk -v a="$big_kib" -v b="$small_kib" 'BEGIN {
  d = (a - b) / 1024; printf "| %-44s | %10.1f | %10.1f | %+5.1f MiB | 8 MiB | %s |\n", "Peak memory, 64 MiB file / 64 KiB file (MiB)", a/1024, b/1024, d, (d <= 8 ? "holds" : "MISSED") }'
echo
echo "Times in milliseconds: Google Benchmark's mean for the first three rows (the references run as"
echo "child processes), the median of 11 runs for the window rows."
