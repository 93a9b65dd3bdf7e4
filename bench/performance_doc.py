#!/usr/bin/env python3
"""Puts the tables of one bench run into docs/performance.md as the section of this
machine's kind of processor and the build measured, keeping the other sections as they
stand:

    performance_doc.py TABLES DOC COMMIT BUILD

A section starts with a "## " heading naming the kind (vendor, family and model, as
/proc/cpuinfo gives them), and its first line names the build ("the i686 build"); a run
replaces the section of its own kind and build only, so a machine that cannot run the
i686 product adds the x86_64 build's figures beside those of the product."""
import datetime
import os
import re
import subprocess
import sys

tables, doc, commit, build = sys.argv[1:5]


def cpuinfo(key):
    for line in open("/proc/cpuinfo"):
        if line.split(":")[0].strip() == key:
            return line.split(":", 1)[1].strip()
    return "?"


kind = "%s family %s model %s" % (cpuinfo("vendor_id"), cpuinfo("cpu family"), cpuinfo("model"))
wine = subprocess.run(["/usr/lib/wine/wine64", "--version"], capture_output=True, text=True).stdout.strip()
heading = "## %s (%s)%s" % (cpuinfo("model name"), kind, "" if build == "i686" else ", the %s build" % build)
section = "\n".join([
    heading, "",
    "Measured %s at commit %s: the %s build under %s, %d cores, Linux %s." % (
        datetime.date.today().isoformat(), commit, build, wine, os.cpu_count(), os.uname().release),
    "", open(tables).read().strip(), ""])

intro = ("# Performance\n\nThe full tables of `scripts/bench.sh`, one section per kind of processor and build measured;\n"
         "each run replaces the section of its own kind and build. Figures are medians; the tools take turns run by run.\n")
sections = []
if os.path.exists(doc):
    text = open(doc).read()
    parts = re.split(r"(?m)^(?=## )", text)
    intro = parts[0] if parts and not parts[0].startswith("## ") else intro
    sections = [p for p in parts if p.startswith("## ")]


def same(part):
    lines = part.splitlines()
    return "(" + kind + ")" in lines[0] and any("the %s build" % build in l for l in lines[1:4])


kept = [p for p in sections if not same(p)]
with open(doc, "w") as out:
    out.write(intro.rstrip() + "\n\n" + section + "\n" + "\n".join(p.rstrip() + "\n" for p in kept))
print("wrote the section %r of %s" % (heading, doc), file=sys.stderr)
