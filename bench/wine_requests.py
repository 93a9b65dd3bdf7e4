#!/usr/bin/env python3
"""Counts the requests a Wine server served one program, by kind, from the trace of a
server started with -d2 (every request, with the id of the thread that made it).

    wine_requests.py SMALL_TRACE LARGE_TRACE FILES

prints the requests per file of the difference between two runs of the same program
over FILES more files in the second: what a file costs, whatever the program costs to
start. A program is told apart from the others the server serves (services, explorer)
by its threads: the first thread of each process says its process id, and a thread
belongs to the process of the thread that made it.
"""
import collections
import re
import sys

FIRST = re.compile(r"^([0-9a-f]{4}): init_first_thread\(\) = 0 \{ pid=([0-9a-f]{4}), tid=([0-9a-f]{4})")
NEW = re.compile(r"^([0-9a-f]{4}): new_thread\(\) = 0 \{ tid=([0-9a-f]{4})")
REQUEST = re.compile(r"^([0-9a-f]{4}): ([a-z_]+)\( ")


def requests(trace):
    """The requests of the process that opened the most files, by kind."""
    process = {}
    opened = collections.Counter()
    lines = open(trace, errors="replace").read().splitlines()
    for line in lines:
        m = FIRST.match(line)
        if m:
            process[m.group(3)] = m.group(2)
            continue
        m = NEW.match(line)
        if m and m.group(1) in process:
            process.setdefault(m.group(2), process[m.group(1)])
            continue
        if ": create_file( " in line and line[:4] in process:
            opened[process[line[:4]]] += 1
    ours = opened.most_common(1)[0][0]
    counts = collections.Counter()
    for line in lines:
        m = REQUEST.match(line)
        if m and process.get(m.group(1)) == ours:
            counts[m.group(2)] += 1
    return counts


def per_file(small, large, files):
    a, b = requests(small), requests(large)
    return {kind: (b[kind] - a[kind]) / files for kind in set(a) | set(b) if b[kind] != a[kind]}


if __name__ == "__main__":
    for kind, n in sorted(per_file(sys.argv[1], sys.argv[2], int(sys.argv[3])).items(), key=lambda kv: -kv[1]):
        print(f"{kind} {n:.2f}")
