#!/usr/bin/env bash
# Measures where the time goes and prints one table (Markdown):
#  - the matcher against glibc's memmem on 256 MiB of three kinds of data (native);
#  - the engine's file search over a 1 GiB file in the page cache, against the same
#    search over the same bytes in memory and against grep (the search under Wine);
#  - a directory walk over 10,000 small files through the real dialog, against what the
#    system allows (each file opened, read once and closed, on two threads) and grep -r;
#  - what a file costs read whole against mapped, by size: where the engine stops reading.
# The Windows figures are for the product's architecture where this machine runs it
# (i686), for x64 elsewhere.
# Every figure is the median of BENCH_RUNS runs (default 5).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/install-deps.sh" >/dev/null

source "$root/scripts/wine-session.sh"
build=${BYTEWREN_BENCH_DIR:-$root/build/bench}
runs=${BENCH_RUNS:-5}
data=$build/data
arch=$(bytewren_mingw_arch)

echo "Building in $build ..." >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBYTEWREN_TEST_ARCH="$arch" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
bench_exe=$build/windows-$arch/bin/engine_bench.exe
native_bench=$build/bench/find_pattern_bench
mkdir -p "$data"

echo "Matcher against memmem (native) ..." >&2
"$native_bench" --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
  --benchmark_format=json --benchmark_out="$data/find_pattern.json" --benchmark_out_format=json >/dev/null 2>&1

# A tree of 10,000 small text files (100 folders of 100), made once on the Linux side.
pattern_text='Bytewren-bench-absent'
if [ ! -f "$data/tree/.complete" ]; then
  echo "Making the tree of small files ..." >&2
  rm -rf "$data/tree"
  python3 - "$data/tree" <<'EOF'
import os, random, sys
root = sys.argv[1]
words = ("the of and to a in is it you that he was for on are with as his they be at one "
         "have this from or had by word but what some we can out other were all there when "
         "up use your how said an each she which do their time if will way about many then").split()
rng = random.Random(1)
for d in range(100):
    folder = os.path.join(root, "d%03d" % d)
    os.makedirs(folder)
    for f in range(100):
        size = rng.randint(512, 8192)
        text = []
        length = 0
        while length < size:
            w = rng.choice(words)
            text.append(w)
            length += len(w) + 1
        with open(os.path.join(folder, "f%03d.txt" % f), "w") as out:
            out.write(" ".join(text)[:size])
open(os.path.join(root, ".complete"), "w").close()
EOF
fi
if LC_ALL=C grep -r -l -F -- "$pattern_text" "$data/tree" >/dev/null; then
  echo "the pattern occurs in the tree" >&2
  exit 1
fi
pattern_hex=$(printf '%s' "$pattern_text" | od -An -tx1 | tr -s ' \n' ' ' | sed 's/^ //; s/ $//' | tr a-f A-F)

trap 'wine_session_stop' EXIT
wine_session_start "$build/wine-prefix" yes
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

# How the file's pages came into the page cache decides how the system can map them:
# pages read from disk come in small blocks and are mapped a few at a time; pages just
# written come in large blocks that a view on a 2 MiB boundary maps at once. Both cases
# are measured: read back first, then written afresh.
big=$data/text.bin
if [ "$(stat -c %s "$big" 2>/dev/null || echo 0)" != 1073741824 ]; then
  echo "Writing the 1 GiB file ..." >&2
  "$WINE" "$bench_exe" make-file "$(winpath "$big")" 1024
fi
python3 -c 'import os, sys; fd = os.open(sys.argv[1], os.O_RDONLY); os.fsync(fd); os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)' "$big"
cat "$big" >/dev/null
echo "File search under Wine, file read from disk ..." >&2
"$WINE" "$bench_exe" file "$(winpath "$big")" "$runs" 4 16 86 | tr -d '\r' | sed 's/^file /file read /' >"$data/file.txt"
"$WINE" "$bench_exe" make-file "$(winpath "$big")" 1024
echo "File search under Wine, file just written ..." >&2
"$WINE" "$bench_exe" file "$(winpath "$big")" "$runs" 4 16 86 | tr -d '\r' | sed 's/^file /file written /' >>"$data/file.txt"
echo "Directory walk under Wine ..." >&2
cat "$data"/tree/*/* >/dev/null
"$WINE" "$bench_exe" tree "$(winpath "$data/tree")" "$runs" "$pattern_hex" | tr -d '\r' >"$data/tree.txt"
"$WINE" "$bench_exe" floor "$(winpath "$data/tree")" "$runs" | tr -d '\r' >>"$data/tree.txt"
echo "Reading against mapping, by file size, under Wine ..." >&2
mkdir -p "$data/sizes"
"$WINE" "$bench_exe" read-or-map "$(winpath "$data/sizes")" "$runs" | tr -d '\r' >"$data/sizes.txt"
wine_session_stop
trap - EXIT

echo "grep ..." >&2
python3 - "$data" "$runs" "$pattern_text" "$arch" <<'EOF'
import json, os, platform, statistics, subprocess, sys, time
data, runs, pattern_text, arch = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
env = dict(os.environ, LC_ALL="C")

def timed(cmd):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, check=False)
        times.append(time.perf_counter() - start)
    return statistics.median(times)

def fields(line):
    return dict(kv.split("=", 1) for kv in line.split()[1:])

print("### Matcher: `FindPattern` against glibc `memmem`, 256 MiB in memory, pattern absent (GB/s)\n")
print("| data | pattern bytes | FindPattern | memmem | ratio |")
print("|---|---:|---:|---:|---:|")
results = {}
for b in json.load(open(os.path.join(data, "find_pattern.json")))["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    name, kind, n = b["run_name"].split("/")[:3]
    results[(kind, int(n), name)] = b["bytes_per_second"] / 1e9
for kind in ("random", "text", "zeros"):
    for n in sorted({k[1] for k in results if k[0] == kind}):
        ours, theirs = results[(kind, n, "FindPattern")], results[(kind, n, "memmem")]
        print(f"| {kind} | {n} | {ours:.2f} | {theirs:.2f} | {ours / theirs:.2f} |")

print("\n### File search: 1 GiB of text in the page cache, pattern absent (GB/s)\n")
print("| file in the page cache | pattern bytes | SearchFile (Wine) | FindPattern in memory, 256 MiB (Wine) | file / memory | grep -c -F -a | SearchFile / grep |")
print("|---|---:|---:|---:|---:|---:|---:|")
big = os.path.join(data, "text.bin")
states = {"read": "read from disk", "written": "just written"}
for line in open(os.path.join(data, "file.txt")):
    if not line.startswith("file "):
        continue
    state = line.split()[1]
    f = dict(kv.split("=", 1) for kv in line.split()[2:])
    n = int(f["n"])
    grep = int(f["bytes"]) / 1e9 / timed(["grep", "-c", "-F", "-a", "-f", f"{big}.{n}.pat", big])
    sf, mem = float(f["search_file_gbps"]), float(f["find_pattern_gbps"])
    print(f"| {states[state]} | {n} | {sf:.2f} | {mem:.2f} | {sf / mem:.2f} | {grep:.2f} | {sf / grep:.2f} |")

print("\n### Directory walk: 10,000 files of 0.5-8 KiB, pattern absent (files per second)\n")
print("| Start in directory mode (Wine) | open + ReadFile + close, 2 threads (Wine) | walk / floor | grep -r -l -F | walk / grep |")
print("|---:|---:|---:|---:|---:|")
found = {line.split()[0]: fields(line) for line in open(os.path.join(data, "tree.txt")) if line.split()}
files = int(found["tree"]["files"])
grep = files / timed(["grep", "-r", "-l", "-F", "--", pattern_text, os.path.join(data, "tree")])
walk = float(found["tree"]["files_per_second"])
floor = float(found["floor"]["files_per_second"])
print(f"| {walk:,.0f} | {floor:,.0f} | {walk / floor:.2f} | {grep:,.0f} | {walk / grep:.2f} |")

print("\n### Reading a file whole against mapping a view of it, by size (microseconds per file, Wine)\n")
print("| file size (KiB) | open, ReadFile, search, close | open, map, search, unmap, close | read / map |")
print("|---:|---:|---:|---:|")
for line in open(os.path.join(data, "sizes.txt")):
    if line.startswith("size "):
        f = fields(line)
        read, mapped = float(f["read_us"]), float(f["map_us"])
        print(f"| {int(f['kib']):,} | {read:,.0f} | {mapped:,.0f} | {read / mapped:.2f} |")

cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
mem = int(next(l.split()[1] for l in open("/proc/meminfo") if l.startswith("MemTotal"))) / 2**20
osname = next((l.split("=", 1)[1].strip().strip('"') for l in open("/etc/os-release") if l.startswith("PRETTY_NAME")), "?")
wine = subprocess.run([os.environ.get("WINE", "wine"), "--version"], capture_output=True, text=True).stdout.strip()
print(f"\nMachine: {cpu}, {os.cpu_count()} cores, {mem:.0f} GiB RAM, {osname}, Linux {platform.release()}, {wine}; "
      f"Wine figures for the {arch} build; median of {runs} runs.")
EOF
