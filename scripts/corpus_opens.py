#!/usr/bin/env python3
"""How many sample-corpus files open, format by format, with one or two builds of the CLI.

usage: corpus_opens.py CLI [OTHER_CLI] [--corpus DIR] [--status ok,edge] [--list]

Runs `CLI info FILE` on every corpus file of the chosen statuses (INDEX.tsv) and counts
the files whose exit status is 0. With a second CLI the table shows both counts side by
side (before, after); --list names every file whose result differs.
"""
import argparse
import os
import subprocess
import sys
from collections import defaultdict


def opens(cli, path):
    try:
        r = subprocess.run([cli, "info", path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        return r.returncode == 0
    except subprocess.TimeoutExpired:
        return False


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser()
    ap.add_argument("clis", nargs="+")
    ap.add_argument("--corpus", default=os.path.join(here, "..", "..", "shared", "corpus"))
    ap.add_argument("--status", default="ok,edge")
    ap.add_argument("--list", action="store_true")
    a = ap.parse_args()
    wanted = set(a.status.split(","))
    rows = []
    with open(os.path.join(a.corpus, "INDEX.tsv"), encoding="utf-8") as f:
        next(f)
        for line in f:
            ext, name, status = line.rstrip("\n").split("\t")[:3]
            if status in wanted:
                rows.append((ext, name, status))
    total = defaultdict(int)
    counts = defaultdict(lambda: [0] * len(a.clis))
    changed = []
    for ext, name, status in rows:
        path = os.path.join(a.corpus, ext, name)
        total[ext] += 1
        results = [opens(cli, path) for cli in a.clis]
        for i, ok in enumerate(results):
            counts[ext][i] += ok
        if len(set(results)) > 1:
            changed.append((ext, name, status, results))
    head = ["format", "files"] + (["before", "after"] if len(a.clis) == 2 else ["open"] * len(a.clis))
    print("\t".join(head))
    for ext in sorted(total):
        print("\t".join([ext, str(total[ext])] + [str(c) for c in counts[ext]]))
    print("\t".join(["all", str(sum(total.values()))] + [str(sum(c[i] for c in counts.values())) for i in range(len(a.clis))]))
    if a.list:
        for ext, name, status, results in changed:
            print(f"{name}\t{status}\t" + " -> ".join("opens" if r else "refused" for r in results))
    return 0


if __name__ == "__main__":
    sys.exit(main())
