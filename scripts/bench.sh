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
    # As Wine writes a registry without the game: its section gone, every other one in order.
    sed '/^\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\vnt\.exe\]/,/^$/d' \
      "$real/system.reg" > "$1/system.reg"
  fi
}
many="$files/home-200" one="$files/home-1"
game_prefix "$many/.wine" game
touch -d '1 day ago' "$many/.wine/system.reg"
for i in $(seq 1 199); do game_prefix "$many/.local/share/wineprefixes/p$i" none; done
game_prefix "$one/.wine" game
# 300 prefixes of five tools, the game in the oldest: 60 of winetricks, 60 of Lutris, 60
# bottles, 30 of Heroic, 90 of Steam over three libraries.
tools="$files/home-300"
game_prefix "$tools/.wine" game
touch -d '1 day ago' "$tools/.wine/system.reg"
mkdir -p "$tools/.config/lutris/games" "$tools/.config/heroic/GamesConfig" "$tools/.steam/root/steamapps"
for i in $(seq 1 60); do
  game_prefix "$tools/.local/share/wineprefixes/w$i" none
  game_prefix "$tools/Games/lutris-$i" none
  printf 'game:\n  prefix: %s\nwine:\n  version: system\n' "$tools/Games/lutris-$i" > "$tools/.config/lutris/games/g$i.yml"
  game_prefix "$tools/.local/share/bottles/bottles/b$i" none
  printf 'Name: b%s\nRunner: sys-wine-9.0\n' "$i" > "$tools/.local/share/bottles/bottles/b$i/bottle.yml"
done
for i in $(seq 1 30); do
  game_prefix "$tools/Games/heroic-$i" none
  printf '{"h%s": {"winePrefix": "%s", "wineVersion": {"bin": "/usr/bin/wine", "name": "Wine", "type": "wine"}}}' \
    "$i" "$tools/Games/heroic-$i" > "$tools/.config/heroic/GamesConfig/h$i.json"
done
printf '"libraryfolders" {\n' > "$tools/.steam/root/steamapps/libraryfolders.vdf"
for l in 1 2 3; do
  printf '"%s" { "path" "%s" }\n' "$l" "$tools/Library$l" >> "$tools/.steam/root/steamapps/libraryfolders.vdf"
  mkdir -p "$tools/Library$l/steamapps/common/Proton 9.0"
  printf '#!/bin/sh\n' > "$tools/Library$l/steamapps/common/Proton 9.0/proton"
  chmod 755 "$tools/Library$l/steamapps/common/Proton 9.0/proton"
  for i in $(seq 1 30); do
    compat="$tools/Library$l/steamapps/compatdata/$((l * 1000 + i))"
    game_prefix "$compat/pfx" none
    printf '9.0-1\n%s/files/share/fonts/\n' "$tools/Library$l/steamapps/common/Proton 9.0" > "$compat/config_info"
  done
done
printf '}\n' >> "$tools/.steam/root/steamapps/libraryfolders.vdf"
# A hostile home: 64 Steam libraries of two prefixes each, every settings and manifest file full
# of keys up to its bound (1 MiB, 64 KiB for manifests, 8 KiB for config_info), each Proton asking for a runtime.
hostile="$files/home-hostile"
python3 - "$hostile" <<'PY'
import os, sys
home = sys.argv[1]
def put(path, text, size):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        # Keys to parse up to the bound, not a comment a parser skips.
        f.write(text + '"k" "v"\n' * ((size - len(text)) // 8))
lines = ['"libraryfolders" {']
for l in range(64):
    lib = os.path.join(home, "L%d" % l)
    lines.append('"%d" { "path" "%s" }' % (l, lib))
    proton = os.path.join(lib, "steamapps/common/P")
    os.makedirs(proton, exist_ok=True)
    with open(os.path.join(proton, "proton"), "w") as f:
        f.write("#!/bin/sh\n")
    os.chmod(os.path.join(proton, "proton"), 0o755)
    put(os.path.join(proton, "toolmanifest.vdf"), '"manifest" { "commandline" "/proton %verb%" "require_tool_appid" "1628350" }\n', 64 << 10)
    put(os.path.join(lib, "steamapps/appmanifest_1628350.acf"), '"AppState" { "appid" "1628350" "installdir" "Missing" }\n', 64 << 10)
    for k in range(2):
        compat = os.path.join(lib, "steamapps/compatdata/%d" % (100 + k))
        os.makedirs(os.path.join(compat, "pfx"), exist_ok=True)
        with open(os.path.join(compat, "pfx/system.reg"), "w") as f:
            f.write("WINE REGISTRY Version 2\n")
        put(os.path.join(compat, "config_info"), "8\n%s/files/share/fonts/\n" % proton, 8 << 10)
put(os.path.join(home, ".steam/root/steamapps/libraryfolders.vdf"), "\n".join(lines) + "\n}\n", 1 << 20)
put(os.path.join(home, ".steam/root/config/config.vdf"), '"InstallConfigStore" { }\n', 1 << 20)
PY
game_prefix "$hostile/.wine" game

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

# 1,000 missions of 30 KiB, and 100,000 of 4 KiB (short names: they are all named on one
# command line), in folders on this disk (build/ is not a tmpfs), for the callsign set in every
# mission of a list.
python3 - "$files" <<'PY'
import os, sys
files = sys.argv[1]
line = "\t.Waypoint  12000 34000 3000 cruise 320 heading 270\r\n"
for folder, count, size, name in (("batch-src", 1000, 30 * 1024, "Sortie %04d.mis"),
                                  ("batch-100k-src", 100000, 4 * 1024, "m%06d.mis")):
    os.makedirs(os.path.join(files, folder), exist_ok=True)
    for i in range(1, count + 1):
        head = ".MissionSummary\r\nSortie %d.\r\n.EndMissionSummary\r\n" % i
        tail = "\t.IsPlayer\r\n\t.Callsign  Red\r\n\t.MPCallsign  Red\r\n"
        body = line * max(0, (size - len(head) - len(tail)) // len(line))
        with open(os.path.join(files, folder, name % i), "w", newline="") as f:
            f.write(head + body + tail)
PY
[ "$(stat -f -c %T "$files")" != tmpfs ] || echo "warning: $files is on a tmpfs; the batch rows measure no disk" >&2

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
read -r start_many start_one < <(pair_ms 11 "$(home_cmd "$many")" "$(home_cmd "$one")")
read -r start_tools start_one_again < <(pair_ms 11 "$(home_cmd "$tools")" "$(home_cmd "$one")")
# The hostile home: the window, and --list-installations, each against the home of one prefix.
read -r start_hostile _ < <(pair_ms 5 "$(home_cmd "$hostile")" "$(home_cmd "$one")")
list_cmd() { echo "env -u WINEPREFIX HOME='$1' XDG_DATA_HOME='$1/.local/share' XDG_CONFIG_HOME='$1/.config' '$bin/Sortilex' --list-installations"; }
read -r list_hostile _ < <(pair_ms 5 "$(list_cmd "$hostile")" "$(list_cmd "$one")")

# 4: peak memory with the big file against the same process with the small one.
small_kib=$("$bin/sortilex_bench" --memory "$files/small/small.mis")
big_kib=$("$bin/sortilex_bench" --memory "$files/scan/big.mis")
huge_kib=$("$bin/sortilex_bench" --memory "$files/huge/one line.mis")
read -r select_ms _ < <("$bin/sortilex_bench" --select "$files/huge/one line.mis")
reg_small_kib=$("$bin/sortilex_bench" --registry-memory "$files/prefix-demo")
reg_big_kib=$("$bin/sortilex_bench" --registry-memory "$big")

# 5: the callsign set in every mission of a folder by the real program's command line, against
# cp -r of the same files into a new folder and sync -f of it, and against the least an atomic
# replacement of them does (bench/LeastReplacement.cpp). Each timed run on a fresh copy of the
# missions made before it (not timed) and after a sync; 5 runs of each, interleaved; medians,
# and the program's peak memory.
read -r batch_ms copy_ms least_ms batch_kib big_ms big_copy_ms big_least_ms batch_big_kib < <(
  python3 - "$bin/Sortilex" "$bin/least_replacement" "$files" <<'PY'
import os, shutil, statistics, subprocess, sys, time
program, least, files = sys.argv[1], sys.argv[2], sys.argv[3]
env = dict(os.environ, LC_ALL="C.UTF-8")

peak_file = os.path.join(files, "peak")

def timed(command, cwd=None):  # wall milliseconds and peak resident KiB
    # The peak as time(1) reads it of its own child: the rusage of a child forked from here would
    # count this interpreter's pages from before the exec.
    subprocess.run(["sync"])
    start = time.perf_counter()
    child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file] + command, cwd=cwd,
                             stdout=subprocess.DEVNULL, env=env)
    status = child.wait()
    elapsed = (time.perf_counter() - start) * 1000
    assert status == 0, (command[:3], status)
    with open(peak_file) as f:
        return elapsed, int(f.read().split()[-1])

def fresh(src, name):
    target = os.path.join(files, name)
    shutil.rmtree(target, ignore_errors=True)
    shutil.copytree(src, target)
    return target

out = []
for src in ("batch-src", "batch-100k-src"):
    src = os.path.join(files, src)
    names = sorted(os.listdir(src))
    ours, refs, floors, peak = [], [], [], 0
    for run in range(5):
        work = fresh(src, "batch")
        ms, kib = timed([program, "--set-callsign", "Run %d" % run] + names, cwd=work)
        with open(os.path.join(work, names[-1]), newline="") as f:
            assert ("Callsign  Run %d" % run) in f.read(), "the batch changed nothing"
        ours.append(ms)
        peak = max(peak, kib)
        target = os.path.join(files, "batch-cp")
        shutil.rmtree(target, ignore_errors=True)
        refs.append(timed(["sh", "-c", 'cp -r "$0" "$1" && sync -f "$1"', src, target])[0])
        floors.append(timed([least, fresh(src, "batch-least")])[0])
    out += [statistics.median(ours), statistics.median(refs), statistics.median(floors), peak]
for d in ("batch", "batch-cp", "batch-least"):
    shutil.rmtree(os.path.join(files, d), ignore_errors=True)
print(*out)
PY
)
# 6: the menu pick to the batch's dialog on the 100,000 missions.
dialog_ms=$("$bin/sortilex_bench" --batch-dialog "$files/batch-100k-src")

# 7: mission packs installed by the real program's command line into an empty folder on disk,
# against unzip -q and bsdtar -xf of the same archive followed by sync -f; a second pack of the
# same names over the first (every file replaced, the old ones to the trash); the peak memory of
# a pack of 1,000 entries of 1 MiB against one of 1,000 entries of 1 KiB. Each timed run after a
# sync; 5 runs of each, interleaved; medians.
read -r pack_ms unzip_ms over_ms pack7_ms bsdtar_ms pack_big_kib pack_small_kib < <(
  python3 - "$bin/Sortilex" "$files" "$files/prefix-demo" <<'PY'
import os, random, shutil, statistics, subprocess, sys, time, zipfile
program, files, prefix = sys.argv[1], sys.argv[2], sys.argv[3]
packs = os.path.join(files, "packs")
os.makedirs(packs, exist_ok=True)
trash_home = os.path.join(files, "pack-data")
env = dict(os.environ, LC_ALL="C.UTF-8", WINEPREFIX=prefix, XDG_DATA_HOME=trash_home)
peak_file = os.path.join(files, "peak")

def mission(i, size, variant):  # waypoints of their own, so that the pack packs as missions do
    rng = random.Random(i * 7 + variant)
    head = ".MissionSummary\r\nSortie %d, version %d.\r\n.EndMissionSummary\r\n" % (i, variant)
    body = []
    length = len(head)
    while length < size:
        line = "\t.Waypoint  %d %d %d cruise %d heading %d\r\n" % (
            rng.randrange(100000), rng.randrange(100000), rng.randrange(9000), rng.randrange(200, 600), rng.randrange(360))
        body.append(line)
        length += len(line)
    return (head + "".join(body))[:size].encode()

def make_zip(name, count, size, variant):
    path = os.path.join(packs, name)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for i in range(1, count + 1):
            z.writestr("Sortie %04d.mis" % i, mission(i, size, variant))
    return path

first = make_zip("first.zip", 1000, 30 * 1024, 1)
second = make_zip("second.zip", 1000, 30 * 1024, 2)
seven = os.path.join(packs, "first.7z")
src = os.path.join(packs, "first-src")
shutil.rmtree(src, ignore_errors=True)
subprocess.run(["unzip", "-q", first, "-d", src], check=True)
subprocess.run("cd '%s' && 7zz a -bd '%s' . >/dev/null" % (src, seven), shell=True, check=True)
big = make_zip("big.zip", 1000, 1 << 20, 1)
small = make_zip("small.zip", 1000, 1 << 10, 1)

def timed(command):  # wall milliseconds and peak resident KiB
    subprocess.run(["sync"])
    start = time.perf_counter()
    child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file] + command,
                             stdout=subprocess.DEVNULL, env=env)
    status = child.wait()
    elapsed = (time.perf_counter() - start) * 1000
    assert status == 0, (command[:3], status)
    with open(peak_file) as f:
        return elapsed, int(f.read().split()[-1])

def empty(name):
    target = os.path.join(files, name)
    shutil.rmtree(target, ignore_errors=True)
    os.makedirs(target)
    return target

def install(folder, pack):
    return timed([program, "--install-missions", "--category", "custom", folder, "--", pack])

ours, unzips, overs, ours7, bsdtars = [], [], [], [], []
for run in range(5):
    shutil.rmtree(trash_home, ignore_errors=True)
    folder = empty("pack-ours")
    ours.append(install(folder, first)[0])
    target = empty("pack-unzip")
    unzips.append(timed(["sh", "-c", 'unzip -q "$0" -d "$1" && sync -f "$1"', first, target])[0])
    overs.append(install(folder, second)[0])
    with open(os.path.join(folder, "Sortie 1000.mis"), "rb") as f:
        assert f.read() == mission(1000, 30 * 1024, 2), "the second pack replaced nothing"
    assert len(os.listdir(os.path.join(trash_home, "Trash", "files"))) == 1000, "the old missions are not in the trash"
    ours7.append(install(empty("pack-ours7"), seven)[0])
    target = empty("pack-bsdtar")
    bsdtars.append(timed(["sh", "-c", 'bsdtar -xf "$0" -C "$1" && sync -f "$1"', seven, target])[0])
big_kib = install(empty("pack-big"), big)[1]
small_kib = install(empty("pack-small"), small)[1]
for d in ("pack-ours", "pack-unzip", "pack-ours7", "pack-bsdtar", "pack-big", "pack-small", "pack-data", "packs"):
    shutil.rmtree(os.path.join(files, d), ignore_errors=True)
print(statistics.median(ours), statistics.median(unzips), statistics.median(overs),
      statistics.median(ours7), statistics.median(bsdtars), big_kib, small_kib)
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
row "Start searching 200 prefixes / 1 prefix (ms)" "$start_many" "$start_one" 1.5
row "Start on 300 prefixes of five tools / 1 (ms)" "$start_tools" "$start_one_again" 1.5
row "Callsign in 1,000 missions / cp -r + sync -f" "$batch_ms" "$copy_ms" 1.5
row "Callsign in 1,000 / least replacement (ms)" "$batch_ms" "$least_ms" 1.2
row "Callsign in 100,000 missions / cp -r + sync -f" "$big_ms" "$big_copy_ms" 1.5
row "Callsign in 100,000 / least replacement (ms)" "$big_ms" "$big_least_ms" 1.2
row "Install a zip of 1,000 / unzip -q + sync -f" "$pack_ms" "$unzip_ms" 1.5
row "The same names again, over it / the first (ms)" "$over_ms" "$pack_ms" 2
row "Install a 7z of 1,000 / bsdtar -xf + sync -f" "$pack7_ms" "$bsdtar_ms" 1.5
mem() {  # name, ours, reference (KiB), limit (MiB)
  awk -v n="$1" -v a="$2" -v b="$3" -v t="$4" 'BEGIN {
    d = (a - b) / 1024; printf "| %-44s | %10.1f | %10.1f | %+5.1f MiB | %d MiB | %s |\n", n, a/1024, b/1024, d, t, (d <= t ? "holds" : "MISSED") }'
}
mem "Peak memory, 64 MiB file / 64 KiB file (MiB)" "$big_kib" "$small_kib" 8
mem "Peak memory, 2 GiB one line / 64 KiB (MiB)" "$huge_kib" "$small_kib" 16
mem "Peak memory, 64 MiB system.reg / demo's (MiB)" "$reg_big_kib" "$reg_small_kib" 8
mem "Peak memory, callsign in 100,000 / 1,000" "$batch_big_kib" "$batch_kib" 32
mem "Peak memory, install 1,000 of 1 MiB / of 1 KiB" "$pack_big_kib" "$pack_small_kib" 16
awk -v a="$dialog_ms" 'BEGIN {
  printf "| %-44s | %10.2f | %10s | %6s | %5s | %s |\n", "Menu pick to the dialog, 100,000 missions (ms)", a, "-", "-", "200", (a <= 200 ? "holds" : "MISSED") }'
awk -v a="$start_hostile" 'BEGIN {
  printf "| %-44s | %10.2f | %10s | %6s | %5s | %s |\n", "Window on a hostile home, 64 libraries (ms)", a, "-", "-", "1000", (a <= 1000 ? "holds" : "MISSED") }'
awk -v a="$list_hostile" 'BEGIN {
  printf "| %-44s | %10.2f | %10s | %6s | %5s | %s |\n", "--list-installations, that home (ms)", a, "-", "-", "2000", (a <= 2000 ? "holds" : "MISSED") }'
awk -v a="$select_ms" 'BEGIN {
  printf "| %-44s | %10.2f | %10s | %6s | %5s | %s |\n", "Select a 2 GiB one-line mission (ms)", a, "-", "-", "5000", (a <= 5000 ? "holds" : "MISSED") }'
echo
echo "Times in milliseconds: Google Benchmark's mean for the first three rows (the references run as"
echo "child processes), the median of 21 runs, alternating with the reference, for the window and"
echo "start rows (11 for the prefix searches, 5 for the hostile home)."
