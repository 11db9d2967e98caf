#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures Sortilex against the physical limits of this machine: each of its file operations
# beside the system tool that does the least possible work on the same file or folder, in one
# run, and prints the ratios with their targets.
# Usage: bench.sh            (files are made under build/bench-files)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" --wine
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

# A real prefix, made by wineboot, with the game's key written by wine reg (about 1.7 MB of
# registry), and the demo's missions.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
real="$files/prefix-wine"
WINEPREFIX="$real" wineboot -i >/dev/null 2>&1
key='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\vnt.exe'
WINEPREFIX="$real" wine reg add "$key" /ve /d 'C:\Games\Vantorra\vnt.exe' /f >/dev/null 2>&1
WINEPREFIX="$real" wine reg add "$key" /v Path /d 'C:\Games\Vantorra' /f >/dev/null 2>&1
WINEPREFIX="$real" wineserver -w
mkdir -p "$real/drive_c/Games/Vantorra/Data"
cp -r "$files/prefix-demo/drive_c/Games/Vantorra/Data/." "$real/drive_c/Games/Vantorra/Data/"

# Two homes for the prefix search: 200 prefixes of the real prefix's size, whose registries are
# copies of its own, the game in the oldest; and one prefix that holds the game.
game_prefix() {  # the real prefix's registry (the game's key renamed away unless $2), drive C:
  mkdir -p "$1/dosdevices" "$1/drive_c"
  ln -sfn ../drive_c "$1/dosdevices/c:"
  if [ "$2" = game ]; then
    cp "$real/system.reg" "$1/system.reg"
    cp -r "$real/drive_c/Games" "$1/drive_c/"
  else
    sed 's/App Paths\\\\vnt\.exe/App Paths\\\\other.exe/' "$real/system.reg" > "$1/system.reg"
  fi
}
many="$files/home-200" one="$files/home-1"
game_prefix "$many/.wine" game
touch -d '1 day ago' "$many/.wine/system.reg"
for i in $(seq 1 199); do game_prefix "$many/.local/share/wineprefixes/p$i" none; done
game_prefix "$one/.wine" game

# A 64 MiB system.reg: the real prefix's sections again and again under keys of their own, with
# the game's key last.
big="$files/prefix-bigreg"
"$root/scripts/make-demo.sh" "$big" >/dev/null
{
  echo "WINE REGISTRY Version 2"
  i=0
  while :; do
    i=$((i + 1))
    tail -n +2 "$real/system.reg" | sed "s/^\[/[Copy$i\\\\\\\\/"
    [ $((i * $(stat -c %s "$real/system.reg"))) -lt $((64 << 20)) ] || break
  done
  tail -n +2 "$files/prefix-demo/system.reg"
} > "$big/system.reg.new"
mv "$big/system.reg.new" "$big/system.reg"

# A mission of 2 GiB in one line, without a line end.
mkdir -p "$files/huge"
head -c $((2 << 30)) /dev/zero | tr '\0' 'w' > "$files/huge/one line.mis"

# 1,000 missions of 30 KiB in one folder on this disk (build/ is not a tmpfs), for the
# callsign set in every mission of a list.
mkdir -p "$files/batch-src"
padding=$(yes $'\t.Waypoint  12000 34000 3000 cruise 320 heading 270\r' | head -c 30500 || true)
for i in $(seq -w 1 1000); do
  printf '.MissionSummary\r\nSortie %s.\r\n.EndMissionSummary\r\n%s\n\t.IsPlayer\r\n\t.Callsign  Red\r\n\t.MPCallsign  Red\r\n' \
    "$i" "$padding" > "$files/batch-src/Sortie $i.mis"
done
[ "$(stat -f -c %T "$files")" != tmpfs ] || echo "warning: $files is on a tmpfs; the batch row measures no disk" >&2

echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)"
echo

# 1-3: Google Benchmark, our operation and its reference side by side.
"$bin/sortilex_bench" --files "$files" --benchmark_format=csv 2>/dev/null > "$files/bench.csv"
ms() { awk -F, -v n="\"$1\"" '$1 == n {print $3}' "$files/bench.csv"; }

# Median wall times, in milliseconds, of two commands run alternately, so that whatever else the
# machine does weighs on both alike. Each command is a string for bash -c.
pair_ms() {
  local runs=$1 a=$2 b=$3 ta=() tb=() s e
  for _ in $(seq "$runs"); do
    s=$(date +%s%N); bash -c "$a" >/dev/null 2>&1; e=$(date +%s%N); ta+=($(( (e - s) / 1000 )))
    s=$(date +%s%N); bash -c "$b" >/dev/null 2>&1; e=$(date +%s%N); tb+=($(( (e - s) / 1000 )))
  done
  med() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int((NR+1)/2)]/1000}'; }
  echo "$(med "${ta[@]}") $(med "${tb[@]}")"
}
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$files/xdg"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# Sortilex built to close its window as soon as it shows (the bench build's sortilex_startup).
open_cmd() { echo "WINEPREFIX='$1' '$bin/sortilex_startup'"; }
read -r win10000 win10 < <(pair_ms 21 "$(open_cmd "$files/prefix-10000")" "$(open_cmd "$files/prefix-10")")
read -r start minimal < <(pair_ms 21 "$(open_cmd "$files/prefix-demo")" "'$bin/minimal_dialog'")
read -r start_real start_demo < <(pair_ms 21 "$(open_cmd "$real")" "$(open_cmd "$files/prefix-demo")")
home_cmd() { echo "env -u WINEPREFIX HOME='$1' XDG_DATA_HOME='$1/.local/share' XDG_CONFIG_HOME='$1/.config' '$bin/sortilex_startup'"; }
read -r start_many start_one < <(pair_ms 21 "$(home_cmd "$many")" "$(home_cmd "$one")")

# 4: peak memory with the big file against the same process with the small one.
small_kib=$("$bin/sortilex_bench" --memory "$files/small/small.mis")
big_kib=$("$bin/sortilex_bench" --memory "$files/scan/big.mis")
huge_kib=$("$bin/sortilex_bench" --memory "$files/huge/one line.mis")
read -r select_ms _ < <("$bin/sortilex_bench" --select "$files/huge/one line.mis")
reg_small_kib=$("$bin/sortilex_bench" --registry-memory "$files/prefix-demo")
reg_big_kib=$("$bin/sortilex_bench" --registry-memory "$big")

# 5: the callsign set in all 1,000 missions by the real program's command line, against cp of the
# same files into a new folder and sync; each run on a fresh copy of the missions (not timed),
# warm cache, median of 5, with the program's peak memory.
read -r batch_ms copy_ms batch_kib one_kib < <(python3 - "$root/build/bench/Sortilex" "$files" <<'PY'
import glob, os, shutil, statistics, subprocess, sys, time
program, files = sys.argv[1], sys.argv[2]
src, work = files + "/batch-src", files + "/batch"
env = dict(os.environ, LC_ALL="C.UTF-8")

def ours(name, missions):  # wall milliseconds and peak resident KiB of one run
    start = time.perf_counter()
    child = subprocess.Popen([program, "--set-callsign", name] + missions,
                             stdout=subprocess.DEVNULL, env=env)
    _, status, usage = os.wait4(child.pid, 0)
    assert status == 0, status
    return (time.perf_counter() - start) * 1000, usage.ru_maxrss

times, refs, peak = [], [], 0
for run in range(5):
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(src, work)
    subprocess.run(["sync"])
    ms, kib = ours("Run %d" % run, sorted(glob.glob(work + "/*.mis")))
    times.append(ms)
    peak = max(peak, kib)
    shutil.rmtree(work + "-cp", ignore_errors=True)
    start = time.perf_counter()
    subprocess.run("cp -r '%s' '%s-cp' && sync" % (src, work), shell=True, check=True)
    refs.append((time.perf_counter() - start) * 1000)
_, one = ours("One", sorted(glob.glob(work + "/*.mis"))[:1])
print(statistics.median(times), statistics.median(refs), peak, one)
PY
)


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
row "Registry lookup, 64 MiB system.reg / grep -Fc" "$(ms BM_Registry/min_time:2.000/real_time)" "$(ms BM_RegistryReference_grep/min_time:2.000/real_time)" 2
row "Start on a wineboot prefix / on the demo (ms)" "$start_real" "$start_demo" 1.2
row "Start searching 200 prefixes / 1 prefix (ms)" "$start_many" "$start_one" 3
row "Callsign in 1,000 missions / cp + sync (ms)" "$batch_ms" "$copy_ms" 2
mem() {  # name, ours, reference (KiB), limit (MiB)
  awk -v n="$1" -v a="$2" -v b="$3" -v t="$4" 'BEGIN {
    d = (a - b) / 1024; printf "| %-44s | %10.1f | %10.1f | %+5.1f MiB | %d MiB | %s |\n", n, a/1024, b/1024, d, t, (d <= t ? "holds" : "MISSED") }'
}
mem "Peak memory, 64 MiB file / 64 KiB file (MiB)" "$big_kib" "$small_kib" 8
mem "Peak memory, 2 GiB one line / 64 KiB (MiB)" "$huge_kib" "$small_kib" 16
mem "Peak memory, 64 MiB system.reg / demo's (MiB)" "$reg_big_kib" "$reg_small_kib" 8
mem "Peak memory, callsign in 1,000 missions / 1" "$batch_kib" "$one_kib" 8
awk -v a="$select_ms" 'BEGIN {
  printf "| %-44s | %10.2f | %10s | %6s | %5s | %s |\n", "Select a 2 GiB one-line mission (ms)", a, "-", "-", "5000", (a <= 5000 ? "holds" : "MISSED") }'
echo
echo "Times in milliseconds: Google Benchmark's mean for the first three rows (the references run as"
echo "child processes), the median of 21 runs, alternating with the reference, for the window and"
echo "start rows."
