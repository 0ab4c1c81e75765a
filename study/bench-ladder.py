#!/usr/bin/python3
"""Benchmark of the table ladder: the GaAs 300 K velocity-field study (16 fields) run with the
ladder and on the fixed shipped table (the description's own top, 2.4 eV), one point at a time,
the two ways interleaved in a random order; prints CPU times, real events per CPU second and
the agreement of every point in standard errors (docs/performance.md).

  /usr/bin/python3 study/bench-ladder.py [--out DIR] [--particles N] [--repeats R] [--seed S]
"""
import argparse
import csv
import math
import os
import random
import subprocess
import sys

TOOL = os.path.join(os.path.dirname(os.path.realpath(__file__)), "zot-study")
FIELDS = [0.5, 1, 2, 3, 3.5, 4, 4.5, 5, 6, 7, 8, 10, 15, 20, 30, 50]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--out", default="bench-ladder", help="work directory (default: bench-ladder)")
    ap.add_argument("--particles", type=int, default=10000)
    ap.add_argument("--repeats", type=int, default=1, help="runs of each point each way")
    ap.add_argument("--seed", type=int, default=1)
    a = ap.parse_args()
    os.makedirs(a.out, exist_ok=True)
    rng = random.Random(a.seed)
    modes = {"ladder": "", "fixed": "ladder_eV = []\n"}
    runs = [(r, f, m) for r in range(a.repeats) for f in FIELDS for m in modes]
    rng.shuffle(runs)
    for i, (r, f, m) in enumerate(runs, 1):
        study = os.path.join(a.out, f"{m}-{f:g}.toml")
        with open(study, "w") as fh:
            fh.write(f"{modes[m]}[run]\nparticles = {a.particles}\n\n[[series]]\nmaterial = \"gaas\"\n"
                     f"field_kV_cm = {f}\ndirection = \"<100>\"\n")
        out = os.path.join(a.out, f"{m}-r{r}")
        print(f"[{i}/{len(runs)}] {m} {f:g} kV/cm (repetition {r + 1})", file=sys.stderr, flush=True)
        res = subprocess.run([sys.executable, TOOL, "run", study, "--out", out, "--jobs", "1"],
                             stderr=subprocess.PIPE, text=True)
        if res.returncode != 0:
            sys.exit(f"bench-ladder: the {m} run at {f:g} kV/cm failed:\n{res.stderr}")
    table = {}
    for r in range(a.repeats):
        for m in modes:
            with open(os.path.join(a.out, f"{m}-r{r}", "results.csv"), newline="") as fh:
                for row in csv.DictReader(fh):
                    table.setdefault((float(row["field_kV_cm"]), m), []).append(row)
    cpu = {m: 0.0 for m in modes}
    real = {m: 0.0 for m in modes}
    worst = {"velocity": 0.0, "energy": 0.0}
    print("| field (kV/cm) | top (eV) | velocity, ladder (cm/s) | velocity, fixed (cm/s) | difference / sigma | energy difference / sigma | CPU ladder (s) | CPU fixed (s) |")
    print("|---|---|---|---|---|---|---|---|")
    for f in FIELDS:
        lad, fix = table[(f, "ladder")][0], table[(f, "fixed")][0]
        c = {m: sum(float(x["cpu_s"]) for x in table[(f, m)]) / a.repeats for m in modes}
        for m in modes:
            cpu[m] += c[m]
            real[m] += float(table[(f, m)][0]["real_events"])
        z = zscore(lad, fix, "velocity_cm_s", "velocity_stderr_cm_s")
        ze = zscore(lad, fix, "energy_eV", "energy_stderr_eV")
        worst = {"velocity": max(worst["velocity"], z), "energy": max(worst["energy"], ze)}
        print(f"| {f:g} | {lad['table_top_eV']} | {float(lad['velocity_cm_s']):.4g} +- {float(lad['velocity_stderr_cm_s']):.2g} "
              f"| {float(fix['velocity_cm_s']):.4g} +- {float(fix['velocity_stderr_cm_s']):.2g} | {z:.2f} | {ze:.2f} | {c['ladder']:.2f} | {c['fixed']:.2f} |")
    print()
    print(f"CPU time of the study (mean of {a.repeats} repetition(s)): ladder {cpu['ladder']:.1f} s, "
          f"fixed table {cpu['fixed']:.1f} s: {cpu['fixed'] / cpu['ladder']:.2f} times less with the ladder")
    print(f"real events per CPU second: ladder {real['ladder'] / cpu['ladder']:.3g}, fixed table {real['fixed'] / cpu['fixed']:.3g}")
    print(f"largest difference: velocity {worst['velocity']:.2f}, mean energy {worst['energy']:.2f} standard errors of the difference")


def zscore(a, b, col, err):
    """|a - b| in standard errors of the difference."""
    s = math.hypot(float(a[err]), float(b[err]))
    return abs(float(a[col]) - float(b[col])) / s


if __name__ == "__main__":
    main()
