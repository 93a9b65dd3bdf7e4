#!/usr/bin/env bash
# Measures where the time goes, prints the tables (Markdown) and puts them into
# docs/performance.md as the section of this machine's kind of processor and the build:
#  - the matcher against glibc's memchr and memmem and against its own quick-search loop
#    on 256 MiB of three kinds of data and three shapes of pattern, and on 64 MiB of six
#    kinds of binaries with near misses made of their own bytes (native);
#  - Start on the real dialog over a 1 GiB text file and 256 MiB binaries (under Wine),
#    against grep and ripgrep on the same file for the same patterns, with the file in
#    the page cache and dropped from it before every run, idle and with one core kept
#    busy by another program, with each tool's processor time per GiB;
#  - a directory walk over 10,000 small files through the real dialog, against what the
#    system allows (each file opened, read once and closed, on two threads) and grep -r,
#    with the Wine server's requests per file for both, counted from its trace;
#  - what a file costs read whole, read in pieces, mapped and searched as Start does, by
#    size;
# The file search runs the product's architecture where this machine runs it (i686),
# x64 elsewhere; the walk and reading tables run every architecture it can.
# Every figure is the median of BENCH_RUNS runs (default 5), a cold file search's of at
# least nine. BENCH_KEEP_MATCHER=1 keeps the matcher's figures of an earlier run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/install-deps.sh" >/dev/null
# The peers of the file search; only the benchmark needs ripgrep.
if ! command -v rg >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ripgrep >/dev/null
fi

source "$root/scripts/wine-session.sh"
build=${BYTEWREN_BENCH_DIR:-$root/build/bench}
runs=${BENCH_RUNS:-5}
data=$build/data
arch=$(bytewren_mingw_arch)

echo "Building in $build ..." >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBYTEWREN_TEST_ARCH="$arch" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
native_bench=$build/bench/find_pattern_bench
mkdir -p "$data"

# Real executables no one here wrote: the PE files Debian's Wine and mingw-w64 packages
# install, in the order of their names, the first 256 MiB of them.
if [ ! -s "$data/pe.bin" ]; then
  echo "Gathering executables ..." >&2
  dpkg-query -W -f='${binary:Package}\n' | grep -E '^(libwine|wine|gcc-mingw-w64|mingw-w64|libz-mingw-w64)' |
    xargs dpkg -L 2>/dev/null | grep -iE '\.(dll|exe)$' | sort -u |
    python3 -c '
import sys
out, left = open(sys.argv[1], "wb"), 256 << 20
for path in sys.stdin.read().split("\n"):
    try:
        data = open(path, "rb").read()
    except OSError:
        continue
    if data[:2] == b"MZ" and left > 0:
        out.write(data[:left])
        left -= min(left, len(data))' "$data/pe.bin.part"
  mv "$data/pe.bin.part" "$data/pe.bin"
fi
export BYTEWREN_BENCH_PE=$data/pe.bin
binaries=(flash zero-blocks table32 utf16 executables)
for kind in "${binaries[@]}"; do
  if [ ! -f "$data/bin-$kind.complete" ]; then
    echo "Writing the 256 MiB $kind file and its near misses ..." >&2
    "$native_bench" make-file "$data/$kind.bin" "$kind" 256
    # Start walks a folder that holds the file alone.
    mkdir -p "$data/bin-$kind"
    ln -f "$data/$kind.bin" "$data/bin-$kind/$kind.bin"
    touch "$data/bin-$kind.complete"
  fi
done

# BENCH_KEEP_MATCHER=1 keeps the matcher's figures of an earlier run of this machine,
# for a run that measures a change of the engine around it.
if [ -z "${BENCH_KEEP_MATCHER:-}" ] || [ ! -s "$data/find_pattern.json" ]; then
  echo "Matcher against memmem (native) ..." >&2
  # Repetitions of all benchmarks in random order, so a drift of the machine's speed (on a
  # shared host, memory speed moves by a fifth within minutes) reaches every tool alike.
  "$native_bench" --benchmark_repetitions="$runs" --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true --benchmark_format=json \
    --benchmark_out="$data/find_pattern.json" --benchmark_out_format=json >/dev/null 2>&1
fi

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

winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
# Wine's figures for every build this machine runs: the i686 product and the x64 build
# where 32-bit code runs, the x64 build alone elsewhere.
if [ "$arch" = i686 ]; then wine_archs=(i686 x86_64); else wine_archs=(x86_64); fi

# Two folders of small files, 100 and 300 of the tree's, for counting the Wine
# server's requests: the difference between the two walks is what 200 files cost.
for n in 100 300; do
  if [ ! -d "$data/requests/$n" ]; then
    # Made aside and moved in whole, so a run cut short leaves no half folder behind;
    # awk reads to the end, where head would end the pipeline early (SIGPIPE).
    rm -rf "$data/requests/$n.part"
    mkdir -p "$data/requests/$n.part"
    find "$data/tree" -name '*.txt' | sort | awk -v n="$n" 'NR <= n' | while read -r f; do
      cp "$f" "$data/requests/$n.part/$(basename "$(dirname "$f")")-$(basename "$f")"
    done
    mv "$data/requests/$n.part" "$data/requests/$n"
  fi
done

# count_requests TRACE ARGS...: runs engine_bench ARGS with a Wine server of its own
# that prints every request it serves, with the thread that made it.
count_requests() {
  local trace=$1 pid
  shift
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -f -d2 -p 2>"$trace" &
  pid=$!
  "$WINE" "$exe" "$@" >/dev/null
  "$WINESERVER" -k >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
}

trap 'wine_session_stop' EXIT
for wine_arch in "${wine_archs[@]}"; do
  BYTEWREN_WINE_ARCH=$([ "$wine_arch" = i686 ] && echo win32 || echo win64) \
    wine_session_start "$build/wine-prefix-$wine_arch" yes
  exe=$build/windows-$wine_arch/bin/engine_bench.exe
  if [ "$wine_arch" = "$arch" ]; then
    big=$data/text.bin
    if [ "$(stat -c %s "$big" 2>/dev/null || echo 0)" != 1073741824 ]; then
      echo "Writing the 1 GiB file ..." >&2
      "$WINE" "$exe" make-file "$(winpath "$big")" 1024
    fi
    # Start in directory mode over a folder that holds only the big file: a walk says
    # nothing of a file without the pattern, so no box holds up the clock.
    mkdir -p "$data/one"
    ln -f "$big" "$data/one/text.bin"
    echo "Start on the 1 GiB file and the binaries under Wine ($wine_arch), grep and ripgrep, warm and cold ..." >&2
    python3 "$root/bench/file_peers.py" "$data" "$runs" "$exe" "${binaries[@]}" >"$data/file.txt"
    # Each way forced, with what the trial sees of it and what a fresh process chooses:
    # text and each binary with a pattern of 16 bytes, the odd byte in the middle.
    echo "The ways of reading, forced, under Wine ($wine_arch) ..." >&2
    : >"$data/ways.txt"
    text_hex=$(head -c 16 "$big" | python3 -c 'import sys; b = bytearray(sys.stdin.buffer.read()); b[8] = ord("#"); print(b.hex())')
    for kind in text "${binaries[@]}"; do
      if [ "$kind" = text ]; then file=$big hex=$text_hex; else file=$data/$kind.bin hex=$(od -An -tx1 -v "$data/$kind.bin.16.middle.pat" | tr -d ' \n'); fi
      cat "$file" >/dev/null
      "$WINE" "$exe" ways "$(winpath "$file")" "$hex" "$runs" | tr -d '\r' | sed "s/^/ways data=$kind /" >>"$data/ways.txt"
    done
  fi
  echo "Directory walk under Wine ($wine_arch) ..." >&2
  cat "$data"/tree/*/* >/dev/null
  "$WINE" "$exe" tree "$(winpath "$data/tree")" "$runs" "$pattern_hex" | tr -d '\r' >"$data/tree-$wine_arch.txt"
  "$WINE" "$exe" floor "$(winpath "$data/tree")" "$runs" | tr -d '\r' >>"$data/tree-$wine_arch.txt"
  echo "Reading against mapping, by file size, under Wine ($wine_arch) ..." >&2
  mkdir -p "$data/sizes"
  "$WINE" "$exe" read-or-map "$(winpath "$data/sizes")" "$runs" | tr -d '\r' >"$data/sizes-$wine_arch.txt"
  if [ "$wine_arch" = "$arch" ]; then
    # A walk that replaces in 1,000 small files, each write flushed and not: each run
    # takes a minute, most of it the question whether to go on that follows every write.
    echo "A walk replacing in 1,000 files, with and without the flush, under Wine ($wine_arch) ..." >&2
    mkdir -p "$data/replace"
    for i in $(seq 1 1000); do [ -f "$data/replace/f$i.bin" ] || printf '....AB....' >"$data/replace/f$i.bin"; done
    "$WINE" "$exe" replace-walk "$(winpath "$data/replace")" "$(( runs < 3 ? runs : 3 ))" | tr -d '\r' >"$data/replace.txt"
    python3 - "$data/replace" <<'FSYNC' >>"$data/replace.txt"
import os, statistics, sys, time
# The same writes natively, each followed by fsync or not: what the disk asks of a flush.
files = [os.path.join(sys.argv[1], f) for f in sorted(os.listdir(sys.argv[1]))]
def run(sync):
    start = time.perf_counter()
    for f in files:
        fd = os.open(f, os.O_RDWR)
        os.pwrite(fd, b"YZ", 4)
        if sync:
            os.fsync(fd)
        os.close(fd)
    return (time.perf_counter() - start) * 1e3 / len(files)
times = {s: statistics.median(run(s) for _ in range(5)) for s in (True, False)}
print(f"native fsync_ms_per_file={times[True] - times[False]:.3f}")
FSYNC
  fi
  echo "Wine server requests per file ($wine_arch) ..." >&2
  for n in 100 300; do
    count_requests "$data/requests-walk-$n-$wine_arch.trace" tree "$(winpath "$data/requests/$n")" 1 "$pattern_hex"
    count_requests "$data/requests-floor-$n-$wine_arch.trace" floor "$(winpath "$data/requests/$n")" 1
  done
  wine_session_stop
done
trap - EXIT

echo "grep ..." >&2
python3 - "$data" "$runs" "$pattern_text" "$arch" "$root" "${wine_archs[@]}" >"$data/tables.md" <<'EOF'
import json, os, platform, statistics, subprocess, sys, time
data, runs, pattern_text, arch, root = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
wine_archs = sys.argv[6:]
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

print("### Matcher: `FindPattern` against glibc and against its own quick-search loop, in memory, pattern absent (GB/s)\n")
print("glibc is `memchr` for one byte, `memmem` for more. The quick-search loop is what `FindPattern` runs on a")
print("processor without SSE2. Text and data: 256 MiB. Binaries: 64 MiB, the pattern a slice of the data made of its")
print("most common bytes with one byte changed, early (n/6), in the middle or last, to the data's most common byte that")
print("makes it absent (none does for n = 2 in some: those rows are missing).\n")
print("| data | odd byte | pattern bytes | FindPattern | glibc | FindPattern / glibc | quick-search loop | FindPattern / loop |")
print("|---|---|---:|---:|---:|---:|---:|---:|")
results = {}
for b in json.load(open(os.path.join(data, "find_pattern.json")))["benchmarks"]:
    if b.get("aggregate_name") != "median" or "bytes_per_second" not in b:
        continue
    name, kind, shape, n = b["run_name"].split("/")[:4]
    results[(kind, shape, int(n), name)] = b["bytes_per_second"] / 1e9
worst = None
shapes = {"middle": "middle", "last": "last", "spaces": "none: n spaces", "early": "early", "late": "last"}
for kind in ("random", "text", "zeros", "flash", "zero-blocks", "table32", "utf16", "executables", "00-ff"):
    for shape in ("early", "middle", "last", "late", "spaces"):
        for n in sorted({k[2] for k in results if k[0] == kind and k[1] == shape}):
            if not all((kind, shape, n, x) in results for x in ("FindPattern", "library", "quick-loop")):
                continue
            ours, lib, loop = (results[(kind, shape, n, x)] for x in ("FindPattern", "library", "quick-loop"))
            odd = "-" if n == 1 else shapes[shape]
            row = f"| {kind} | {odd} | {n} | {ours:.2f} | {lib:.2f} | {ours / lib:.2f} | {loop:.2f} | {ours / loop:.2f} |"
            if worst is None or ours / max(lib, loop) < worst[0]:
                worst = (ours / max(lib, loop), row)
            print(row)
print(f"\nWorst row, against the faster of glibc and the loop ({worst[0]:.2f}):\n")
print("| data | odd byte | pattern bytes | FindPattern | glibc | FindPattern / glibc | quick-search loop | FindPattern / loop |")
print("|---|---|---:|---:|---:|---:|---:|---:|")
print(worst[1])

print("\n### File search: Start on a 1 GiB text file and 256 MiB binaries against grep and ripgrep (GB/s, and processor ms per GiB)\n")
print("Warm: the file read twice before; cold: dropped from the page cache before every run, at least nine runs. Idle:")
print("nothing else runs; busy: another program keeps one core busy (`while :; do :; done`). grep is")
print("`grep -c -F -a -f` with the bytes in a file (`-z -P` with `\\xNN` where they hold a line feed; `-` where they")
print("hold a NUL too, which grep cannot look for), ripgrep `rg -c -a --mmap`, `-F -f` for ASCII, a `(?-u)\\xNN` regex")
print("otherwise, with `-U` where it holds a line feed. Text: a slice of it with one byte changed")
print("to `#`, which it never holds, last or in the middle. Binaries: the near misses of the matcher table.")
print("Processor time: user and system time for grep and ripgrep; for Start, the time on a processor of every")
print("thread of the program and of the Wine server. Way: how Start searched large files by the end of the row")
print("(read in 2 MiB or 512 KiB pieces, or through views), as the program chose it.\n")
header = (f"| data | file | load | pattern bytes | odd byte | Start ({arch}, Wine) | grep | ripgrep | Start / faster peer "
          f"| Start ms/GiB | ripgrep ms/GiB | Start / ripgrep, processor | way |\n"
          "|---|---|---|---:|---|---:|---:|---:|---:|---:|---:|---:|---|")
print(header)
worst, costliest = {}, {}
for line in open(os.path.join(data, "file.txt")):
    if not line.startswith("file "):
        continue
    f = fields(line)
    best = max(float(f.get("grep", 0)), float(f["rg"]))
    grep = f"{float(f['grep']):.2f}" if "grep" in f else "-"
    ratio = float(f["ours"]) / best
    cpu = float(f["ours_cpu"]) / float(f["rg_cpu"])
    row = (f"| {f['data']} | {f['state']} | {f['load']} | {f['n']} | {f['shape']} | {float(f['ours']):.2f} | {grep} | "
           f"{float(f['rg']):.2f} | {ratio:.2f} | {float(f['ours_cpu']):.0f} | {float(f['rg_cpu']):.0f} | {cpu:.2f} | "
           f"{f['way']} |")
    key = (f["state"], f["load"])
    if key not in worst or ratio < worst[key][0]:
        worst[key] = (ratio, row)
    if key not in costliest or cpu > costliest[key][0]:
        costliest[key] = (cpu, row)
    print(row)
print("\nWorst row of each state and load, by speed against the faster peer, then by processor time against ripgrep:\n")
print(header)
for key in sorted(worst):
    print(worst[key][1])
for key in sorted(costliest):
    print(costliest[key][1])

print("\n### The ways of reading a large file, each forced (GB/s, and the threads' ms per GiB)\n")
print("Each way searches the whole file warm by two threads, as Start does, pattern of 16 bytes absent (for text a")
print("slice of it with `#` in the middle, for binaries their near miss): read in pieces of 2 MiB or 512 KiB, or")
print("through views of 32 MiB. The threads' time is what the choice weighs: the seconds each thread spent on its")
print("runs, added up. The trial: the same over the 8 MiB span the trial searches that way (pieces, or two views of")
print("4 MiB whose mapping and unmapping is counted as for views of 32 MiB), at each place it can have, median and")
print("range; chosen: what a new process picks after its two trials.\n")
print("| data | way | GB/s | threads' ms/GiB | trial's ms/GiB | trial's range | chosen |")
print("|---|---|---:|---:|---:|---|---|")
chosen = {}
ways_rows = []
for line in open(os.path.join(data, "ways.txt")):
    f = fields(line)
    if "chosen" in f:
        chosen[f["data"]] = f["chosen"]
    else:
        ways_rows.append(f)
for f in ways_rows:
    print(f"| {f['data']} | {f['way']} | {float(f['gbps']):.2f} | {float(f['busy_ms_per_gib']):.0f} | "
          f"{float(f['trial_ms_per_gib']):.0f} | {float(f['trial_low']):.0f}-{float(f['trial_high']):.0f} | "
          f"{chosen.get(f['data'], '-')} |")

print("\n### Directory walk: 10,000 files of 0.5-8 KiB, pattern absent (files per second)\n")
print("The floor opens, reads with one `ReadFile` and closes each file on two threads, its listing made before the")
print("clock runs. Requests are those the Wine server serves the program per file: the difference between walks of 300")
print("and of 100 files in one folder, divided by 200.\n")
print("| build (Wine) | Start in directory mode | floor | walk / floor | requests per file, walk | requests per file, floor | grep -r -l -F | walk / grep |")
print("|---|---:|---:|---:|---|---|---:|---:|")
sys.path.insert(0, os.path.join(root, "bench"))
from wine_requests import per_file
grep = None
for a in wine_archs:
    found = {line.split()[0]: fields(line) for line in open(os.path.join(data, f"tree-{a}.txt")) if line.split()}
    files = int(found["tree"]["files"])
    if grep is None:
        grep = files / timed(["grep", "-r", "-l", "-F", "--", pattern_text, os.path.join(data, "tree")])
    walk = float(found["tree"]["files_per_second"])
    floor = float(found["floor"]["files_per_second"])
    def listed(kind):
        counts = per_file(os.path.join(data, f"requests-{kind}-100-{a}.trace"),
                          os.path.join(data, f"requests-{kind}-300-{a}.trace"), 200)
        shown = ", ".join(f"`{k}` {v:.2f}" for k, v in sorted(counts.items(), key=lambda kv: -kv[1]) if abs(v) >= 0.02)
        return f"{sum(counts.values()):.2f}: {shown}"
    print(f"| {a} | {walk:,.0f} | {floor:,.0f} | {walk / floor:.2f} | {listed('walk')} | {listed('floor')} | "
          f"{grep:,.0f} | {walk / grep:.2f} |")

print("\n### Reading a file against mapping a view of it, by size (microseconds per file, Wine)\n")
print("Each file opened, searched and closed: read with one `ReadFile`, read in pieces of 2 MiB (the last bytes of")
print("each searched again with the next), mapped whole, or searched as Start searches it (in pieces, by two")
print("threads from 8 MiB on).\n")
print("| build (Wine) | file size (KiB) | one ReadFile | 2 MiB pieces | mapped | pieces / mapped | as Start | Start / pieces |")
print("|---|---:|---:|---:|---:|---:|---:|---:|")
for a in wine_archs:
    for line in open(os.path.join(data, f"sizes-{a}.txt")):
        if line.startswith("size "):
            f = fields(line)
            read, pieces, mapped = float(f["read_us"]), float(f["pieces_us"]), float(f["map_us"])
            engine = float(f["engine_us"])
            print(f"| {a} | {int(f['kib']):,} | {read:,.0f} | {pieces:,.0f} | {mapped:,.0f} | {pieces / mapped:.2f} | "
                  f"{engine:,.0f} | {engine / pieces:.2f} |")

print("\n### Writing: a walk that replaces in 1,000 small files, each write flushed or not (ms per file)\n")
print("Start in directory mode without asking over 1,000 files of 10 bytes, each holding the pattern once; every")
print("write is followed by the question whether to go on, answered No. The flush is skipped by pointing the")
print("program's import of `FlushFileBuffers` at a function that does nothing. Native: the same writes on the Linux")
print("side, with `fsync` after each and without.\n")
print(f"| build (Wine) | flushed | not flushed | the flush | native fsync |")
print("|---|---:|---:|---:|---:|")
found = {line.split()[0]: fields(line) for line in open(os.path.join(data, "replace.txt")) if line.split()}
r = found["replace"]
print(f"| {arch} | {float(r['ms_per_file_flushed']):.2f} | {float(r['ms_per_file_unflushed']):.2f} | "
      f"{float(r['flush_ms_per_file']):.2f} | {float(found['native']['fsync_ms_per_file']):.2f} |")

cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
mem = int(next(l.split()[1] for l in open("/proc/meminfo") if l.startswith("MemTotal"))) / 2**20
osname = next((l.split("=", 1)[1].strip().strip('"') for l in open("/etc/os-release") if l.startswith("PRETTY_NAME")), "?")
wine = subprocess.run(["/usr/lib/wine/wine64", "--version"], capture_output=True, text=True).stdout.strip()
print(f"\nMachine: {cpu}, {os.cpu_count()} cores, {mem:.0f} GiB RAM, {osname}, Linux {platform.release()}, {wine}; "
      f"file search under Wine for the {arch} build, walk and reading for {' and '.join(wine_archs)}; "
      f"median of {runs} runs.")
EOF
cat "$data/tables.md"
# The tables go to docs/performance.md as the section of this kind of processor and build.
python3 "$root/bench/performance_doc.py" "$data/tables.md" "$root/docs/performance.md" \
  "$(git -C "$root" rev-parse --short HEAD)$(git -C "$root" diff --quiet HEAD -- . ':!docs' || echo ' with changes')" "$arch"
