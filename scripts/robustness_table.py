#!/usr/bin/env python3
"""Prints the per-reader table of docs/robustness.md from the campaign log, the coverage report
and the findings list:

    scripts/robustness_table.py fuzz/campaign.tsv COVERAGE.txt fuzz/findings.tsv

COVERAGE.txt is what scripts/fuzz_coverage.sh prints (module, lines, covered, percent).
"""
import collections
import csv
import sys

# The module(s) each reader's extension exercises.
MODULES = {
    "bmp": ["dec_enc/Bmp_r.cpp", "dec_enc/Bmp_loader.cpp"],
    "cpt": ["dec_enc/Corel_r.cpp"],
    "dic": ["dec_enc/Fbm_r.cpp"],
    "fbm": ["dec_enc/Fbm_r.cpp"],
    "fit": ["dec_enc/Fit_r.cpp"],
    "gif": ["dec_enc/Gif_r.cpp"],
    "img": ["dec_enc/Fbm_r.cpp"],
    "jpg": ["dec_enc/Jpeg_r.cpp"],
    "mac": ["dec_enc/Mac_r.cpp"],
    "msp": ["dec_enc/Msp_r.cpp"],
    "mtv": ["dec_enc/Fbm_r.cpp"],
    "nol": ["dec_enc/Fbm_r.cpp"],
    "pat": ["dec_enc/Fbm_r.cpp"],
    "pbm": ["dec_enc/Pbm_r.cpp", "dec_enc/Netpbm.cpp"],
    "pcd": ["dec_enc/Pcd_r.cpp", "dec_enc/Pcd_lib.cpp"],
    "pct": ["dec_enc/Pict_r.cpp"],
    "pcx": ["dec_enc/Pcx_rw.cpp"],
    "pgm": ["dec_enc/Pgm_rw.cpp", "dec_enc/Netpbm.cpp"],
    "png": ["dec_enc/Png_rw.cpp"],
    "ppm": ["dec_enc/Ppm_r.cpp", "dec_enc/Netpbm.cpp"],
    "psp": ["dec_enc/Psp_r.cpp"],
    "pxr": ["dec_enc/Pxr_r.cpp"],
    "qrt": ["dec_enc/Qrt_r.cpp"],
    "rle": ["dec_enc/Sct_r.cpp"],
    "sct": ["dec_enc/Sct_r.cpp"],
    "sgi": ["dec_enc/Sgi_rw.cpp"],
    "sun": ["dec_enc/Sun_r.cpp"],
    "tga": ["dec_enc/Tga_rw.cpp"],
    "tif": ["dec_enc/Tiff_r.cpp"],
    "xpm": ["dec_enc/Xpm_r.cpp"],
    "xwd": ["dec_enc/Xwd_rw1.cpp"],
}


def main(campaign_path, coverage_path, findings_path):
    # ext -> [wall seconds, executions, CPU seconds, wall seconds of runs without a CPU figure]
    runs = collections.defaultdict(lambda: [0, 0, 0, 0])
    with open(campaign_path) as f:
        for row in csv.DictReader(f, delimiter="\t"):
            r = runs[row["ext"]]
            r[0] += int(row["seconds"])
            r[1] += int(row["executions"])
            if row.get("cpu_seconds"):
                r[2] += int(row["cpu_seconds"])
            else:
                r[3] += int(row["seconds"])
    coverage = {}
    with open(coverage_path) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 4 and parts[0].endswith(".cpp"):
                coverage[parts[0]] = (int(parts[1]), int(parts[2]))
    findings = collections.defaultdict(list)
    with open(findings_path) as f:
        for row in csv.DictReader(f, delimiter="\t"):
            findings[row["ext"]].append(row["finding"])

    print("| reader | CPU minutes | wall minutes | executions | module | lines covered "
          "| found and fixed (earlier runs too) |")
    print("|---|---:|---:|---:|---|---:|---|")
    total_seconds = total_execs = total_cpu = 0
    for ext in sorted(MODULES):
        seconds, execs, cpu, _ = runs.get(ext, (0, 0, 0, 0))
        total_seconds += seconds
        total_execs += execs
        total_cpu += cpu
        lines = covered = 0
        for m in MODULES[ext]:
            n, c = coverage.get(m, (0, 0))
            lines += n
            covered += c
        percent = f"{100.0 * covered / lines:.1f} % of {lines}" if lines else "-"
        modules = ", ".join(m.split("/")[-1] for m in MODULES[ext])
        found = "; ".join(findings.get(ext, [])) or "none"
        print(f"| .{ext} | {cpu / 60:.1f} | {seconds / 60:.1f} | {execs:,} | {modules} | {percent} | {found} |")
    untimed = sum(r[3] for r in runs.values())
    print(f"| **all** | **{total_cpu / 60:.0f}** | **{total_seconds / 60:.0f}** | **{total_execs:,}** | | | "
          f"**{sum(len(v) for v in findings.values())} found, all fixed** |")
    note = ("\nCPU minutes are the user and system time of the fuzzing processes as `/usr/bin/time` "
            "logged it; wall minutes are the time each process ran.")
    if untimed:
        note += (f" The first round ({untimed / 60:.0f} wall minutes) was logged without CPU time, "
                 "so it counts in the wall minutes and the executions only.")
    print(note)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
