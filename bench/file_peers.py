#!/usr/bin/env python3
"""Start on the real dialog over a 1 GiB text file, against grep and ripgrep on the
same file for the same patterns, with the file warm (read twice first) and cold
(dropped from the page cache before every run). The tools take turns run by run. Run by scripts/bench.sh inside its
Wine session:

    file_peers.py DATA RUNS ENGINE_BENCH_EXE WINDOWS_PATH_OF_THE_FOLDER_WITH_THE_FILE

Prints one line per state and pattern, each figure the median of RUNS runs in GB/s.
"""
import os
import random
import statistics
import subprocess
import sys
import time

data, runs, exe, one = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
big = os.path.join(data, "text.bin")
size = os.path.getsize(big)
text = open(big, "rb").read(64 << 20)
env = dict(os.environ, LC_ALL="C")


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


def drop():
    fd = os.open(big, os.O_RDONLY)
    os.fsync(fd)
    os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    os.close(fd)


def warm():
    for _ in range(2):
        with open(big, "rb") as f:
            while f.read(64 << 20):
                pass


def timed(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return time.perf_counter() - start


class Ours:
    """Start on the real dialog, in one program for all runs of a pattern: the clock is
    the program's own, around Start alone, as a user presses it in a program already up."""

    def __init__(self, p):
        hexp = " ".join("%02X" % b for b in p)
        self.proc = subprocess.Popen([os.environ["WINE"], exe, "start-each", one, hexp], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True)

    def __call__(self):
        self.proc.stdin.write("\n")
        self.proc.stdin.flush()
        return float(self.proc.stdout.readline().split("seconds=")[1])

    def close(self):
        self.proc.stdin.close()
        self.proc.wait()


def rg(p, path):
    if all(b < 0x80 for b in p):
        return ["rg", "-c", "-a", "--mmap", "-F", "-f", path, big]
    # Bytes above 0x7F are not UTF-8 of their own: a byte-wise regex.
    return ["rg", "-c", "-a", "--mmap", "-e", "(?-u)" + "".join("\\x%02X" % b for b in p), big]


for state in ("warm", "cold"):
    for n, shape in ((1, "-"), (2, "last"), (4, "last"), (4, "middle"), (16, "last"), (16, "middle"),
                     (86, "last"), (86, "middle")):
        p = pattern(n, shape)
        path = os.path.join(data, "text.%d.%s.pat" % (n, "one" if shape == "-" else shape))
        with open(path, "wb") as f:
            f.write(p)
        ours = Ours(p)
        tools = {"ours": ours,
                 "grep": lambda: timed(["grep", "-c", "-F", "-a", "-f", path, big]),
                 "rg": lambda: timed(rg(p, path))}
        # The tools take turns, run by run, so drifts of the machine's speed reach all of them.
        times = {name: [] for name in tools}
        if state == "warm":
            warm()
        for _ in range(runs):
            for name, run in tools.items():
                if state == "cold":
                    drop()
                times[name].append(run())
        ours.close()
        seconds = {name: statistics.median(t) for name, t in times.items()}
        print("file state=%s n=%d shape=%s " % (state, n, shape) +
              " ".join("%s=%.3f" % (k, size / v / 1e9) for k, v in seconds.items()), flush=True)
