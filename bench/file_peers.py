#!/usr/bin/env python3
"""Start on the real dialog over a 1 GiB text file and over 256 MiB binaries, against
grep and ripgrep on the same file for the same patterns, with the file warm (read twice
first) and cold (dropped from the page cache before every run), with the machine idle
and with one core kept busy by another program. The tools take turns run by run. Each
figure comes with the processor time the tool took per GiB: a process's user and system
time for grep and ripgrep; for Start, the time on a processor of every thread of the
program and of the Wine server, which does the program's system calls. Run by
scripts/bench.sh inside its Wine session:

    file_peers.py DATA RUNS ENGINE_BENCH_EXE KIND...

DATA/one/text.bin is the text; DATA/bin-KIND/KIND.bin each binary, with its near misses
DATA/KIND.bin.N.AT.pat beside the file it was made as. Prints one line per file, state,
load and pattern, each figure the median of RUNS runs in GB/s and ms per GiB (cold, of
at least COLD_RUNS:
a cold run now and then waits on the disk two or three times as long, for every tool alike,
and a median of few runs would be that run).
"""
import os
import random
import statistics
import subprocess
import sys
import time

data, runs, exe, kinds = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4:]
COLD_RUNS = 9
text = open(os.path.join(data, "text.bin"), "rb").read(64 << 20)
env = dict(os.environ, LC_ALL="C")


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def pattern(n, shape):
    """A near miss of the text: a slice of it with one byte changed to '#', which it
    never holds, either the last byte or the middle one (first and last then common)."""
    rng = random.Random(n * 7 + len(shape))
    while True:
        at = rng.randrange(0, len(text) - n)
        p = bytearray(text[at:at + n])
        if b"\n" in p:
            continue
        p[n - 1 if shape == "last" else n // 2] = ord("#")
        return bytes(p)


def drop(big):
    fd = os.open(big, os.O_RDONLY)
    os.fsync(fd)
    os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    os.close(fd)


def warm(big):
    for _ in range(2):
        with open(big, "rb") as f:
            while f.read(64 << 20):
                pass


def on_processor(pids):
    """Seconds the threads of the processes pids have run on a processor so far
    (the scheduler's own count, in nanoseconds)."""
    total = 0
    for pid in pids:
        try:
            tasks = os.listdir("/proc/%d/task" % pid)
        except OSError:
            continue
        for task in tasks:
            try:
                with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                    total += int(f.read().split()[0])
            except OSError:
                pass
    return total / 1e9


def wine_servers():
    found = []
    for pid in os.listdir("/proc"):
        try:
            with open("/proc/%s/comm" % pid) as f:
                if f.read().startswith("wineserver"):
                    found.append(int(pid))
        except OSError:
            pass
    return found


class Ours:
    """Start on the real dialog, in one program for all runs of a pattern: the clock is
    the program's own, around Start alone, as a user presses it in a program already up."""

    def __init__(self, p, one):
        hexp = " ".join("%02X" % b for b in p)
        self.proc = subprocess.Popen([os.environ["WINE"], exe, "start-each", one, hexp], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True)
        self.pids = [self.proc.pid] + wine_servers()
        self.way = "?"

    def __call__(self):
        before = on_processor(self.pids)
        self.proc.stdin.write("\n")
        self.proc.stdin.flush()
        f = dict(kv.split("=", 1) for kv in self.proc.stdout.readline().split())
        self.way = f.get("way", "?")
        return float(f["seconds"]), on_processor(self.pids) - before

    def close(self):
        self.proc.stdin.close()
        self.proc.wait()


def escaped(p):
    return "".join("\\x%02X" % b for b in p)


def grep(p, path, big):
    """grep's command for the bytes, or None: it searches line by line, so a pattern with a
    line feed is looked for in lines ended by NUL (-z), and one with both cannot be."""
    if b"\n" not in p:
        return ["grep", "-c", "-F", "-a", "-f", path, big]
    if b"\0" in p:
        return None
    return ["grep", "-c", "-a", "-z", "-P", escaped(p), big]


def rg(p, path, big):
    if all(b < 0x80 for b in p) and b"\n" not in p:
        return ["rg", "-c", "-a", "--mmap", "-F", "-f", path, big]
    # Bytes above 0x7F are not UTF-8 of their own: a byte-wise regex; a line feed in it
    # needs multiline mode, or ripgrep refuses the pattern.
    return ["rg", "-c", "-a", "--mmap", "-U", "-e", "(?-u)" + escaped(p), big]


def timed_checked(cmd):
    """Seconds, and seconds on a processor, when the tool searched the file through: grep
    and ripgrep exit with 0 (found) or 1 (not found), with 2 on an error."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode > 1:
        raise RuntimeError("failed: " + " ".join(cmd))
    return seconds, usage.ru_utime + usage.ru_stime


class BusyCore:
    """Another program that keeps one core busy while it lives, ended by its PID."""

    def __enter__(self):
        self.proc = subprocess.Popen(["sh", "-c", "while :; do :; done"])
        return self

    def __exit__(self, *exc):
        self.proc.kill()
        self.proc.wait()


def measure(big, label, patterns, load):
    """patterns: (n, shape, bytes, file of the bytes)"""
    one = winpath(os.path.dirname(big))
    size = os.path.getsize(big)
    for state in ("warm", "cold"):
        for n, shape, p, path in patterns:
            ours = Ours(p, one)
            tools = {"ours": ours, "rg": lambda: timed_checked(rg(p, path, big))}
            if grep(p, path, big):
                tools["grep"] = lambda: timed_checked(grep(p, path, big))
            # The tools take turns, run by run, so drifts of the machine's speed reach all of them.
            times = {name: [] for name in tools}
            cpu = {name: [] for name in tools}
            if state == "warm":
                warm(big)
            for _ in range(max(runs, COLD_RUNS) if state == "cold" else runs):
                for name, run in tools.items():
                    if state == "cold":
                        drop(big)
                    wall, processor = run()
                    times[name].append(wall)
                    cpu[name].append(processor)
            ours.close()
            seconds = {name: statistics.median(t) for name, t in times.items()}
            per_gib = {name: statistics.median(t) * 1e3 * 2**30 / size for name, t in cpu.items()}
            print("file data=%s state=%s load=%s n=%d shape=%s way=%s " % (label, state, load, n, shape, ours.way) +
                  " ".join("%s=%.3f" % (k, size / v / 1e9) for k, v in seconds.items()) + " " +
                  " ".join("%s_cpu=%.1f" % (k, v) for k, v in per_gib.items()), flush=True)


patterns = []
for n, shape in ((1, "-"), (2, "last"), (4, "last"), (4, "middle"), (16, "last"), (16, "middle"),
                 (86, "last"), (86, "middle")):
    p = pattern(n, shape)
    path = os.path.join(data, "text.%d.%s.pat" % (n, "one" if shape == "-" else shape))
    with open(path, "wb") as f:
        f.write(p)
    patterns.append((n, shape, p, path))
files = [(os.path.join(data, "one", "text.bin"), "text", patterns)]

for kind in kinds:
    patterns = []
    for n in (2, 6, 16, 47, 86):
        for shape in ("early", "middle", "late"):
            path = os.path.join(data, "%s.bin.%d.%s.pat" % (kind, n, shape))
            if os.path.exists(path):
                patterns.append((n, shape, open(path, "rb").read(), path))
    files.append((os.path.join(data, "bin-" + kind, kind + ".bin"), kind, patterns))

for big, label, patterns in files:
    measure(big, label, patterns, "idle")
with BusyCore():
    for big, label, patterns in files:
        measure(big, label, patterns, "busy")
