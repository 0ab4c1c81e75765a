#!/usr/bin/env python3
"""Collects the final averages of a velocity-field sweep into a CSV and draws the
velocity-field curve with the measured reference on the same axes.

usage: sweep_plot.py MATERIAL DIR   (DIR holds <field>.run and <field>.out)
"""
import csv
import math
import os
import sys

# Reference curves summarising measured drift velocities at 300 K (sources in
# docs/validation.md). Field in kV/cm, velocity in cm/s.
def ref_gaas(e):
    # Empirical fit to time-of-flight and microwave measurements in lightly doped GaAs.
    mu0, vs, e0 = 8500.0, 1.0e7, 4.0
    x = (e / e0) ** 4
    return (mu0 * e * 1e3 + vs * x) / (1 + x)

def ref_si(e):
    # Canali et al. (1975) fit to time-of-flight data, electrons along <111>, T = 300 K.
    t = 300.0
    vm, ec, beta = 1.53e9 * t ** -0.87, 1.01 * t ** 1.55 * 1e-3, 2.57e-2 * t ** 0.66
    x = e / ec
    return vm * x / (1 + x ** beta) ** (1 / beta)

REFERENCE = {
    "gaas": ("empirical fit to measurements (Ruch & Kino 1968; Thim 1968)", ref_gaas),
    "si": ("Canali et al. 1975, time-of-flight fit, <111>", ref_si),
}

def read_run(path):
    """Field components (kV/cm) from records 5 to 7 of a run data file."""
    with open(path) as f:
        lines = f.read().split("\n")
    return [float(lines[i].split()[0]) for i in (4, 5, 6)]

def read_report(path):
    """Final averages (section 3) of a report, or None when the run did not finish."""
    with open(path, errors="replace") as f:
        text = f.read()
    at = text.find(" 3) Moyennes finales")
    if at < 0:
        return None
    res = {}
    for line in text[at:].split("\n"):
        if "=" in line or ":" in line:
            key, _, val = line.replace(":", "=", 1).partition("=")
            res[key.strip()] = val.split()
    return res

def main():
    mat, d = sys.argv[1], sys.argv[2]
    rows = []
    for name in os.listdir(d):
        if not name.endswith(".out"):
            continue
        field = float(name[:-4])
        rep = read_report(os.path.join(d, name))
        if rep is None:
            print(f"warning: the run at {field} kV/cm did not finish (see {d}/{name})", file=sys.stderr)
            continue
        ex, ey, ez = read_run(os.path.join(d, name[:-4] + ".run"))
        vx, vy, vz = (float(v) for v in rep["Vitesses moyennes [cm/s]"][:3])
        norm = math.sqrt(ex * ex + ey * ey + ez * ez)
        vdrift = (vx * ex + vy * ey + vz * ez) / norm
        occ = [float(v) for v in rep["Repartition par vallees [o/o]"]]
        rows.append({
            "field_kV_cm": field,
            "drift_velocity_cm_s": vdrift,
            "mobility_cm2_Vs": float(rep["Mobilite [cm2/Vs]"][0]),
            "mean_energy_eV": float(rep["Energie cinetique moyenne"][0]),
            **{f"valley_{i + 1}_percent": o for i, o in enumerate(occ)},
            "self_scattering_percent": float(rep["Nombre de self-scattering"][0]),
        })
    rows.sort(key=lambda r: r["field_kV_cm"])
    if not rows:
        sys.exit("no finished run")
    csv_path = os.path.join(d, "sweep.csv")
    with open(csv_path, "w", newline="") as f:
        w = csv.DictWriter(f, fieldnames=list(rows[0].keys()))
        w.writeheader()
        for r in rows:
            w.writerow(r)
    for r in rows:
        occ = " ".join(f"{r[k]:6.2f}" for k in r if k.startswith("valley_"))
        print(f"{r['field_kV_cm']:6.1f} kV/cm  v = {r['drift_velocity_cm_s']:.3e} cm/s  "
              f"mu = {r['mobility_cm2_Vs']:8.1f}  <E> = {r['mean_energy_eV']:.4f} eV  valleys % {occ}")
    print(f"CSV: {csv_path}")
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib missing: no plot", file=sys.stderr)
        return
    fields = [r["field_kV_cm"] for r in rows]
    fig, ax = plt.subplots(figsize=(7, 4.5))
    ax.plot(fields, [r["drift_velocity_cm_s"] for r in rows], "o-", label="zot (this repository)")
    if mat in REFERENCE:
        label, fn = REFERENCE[mat]
        es = [fields[0] * (fields[-1] / fields[0]) ** (i / 200) for i in range(201)]
        ax.plot(es, [fn(e) for e in es], "k--", label=label)
    ax.set_xscale("log")
    ax.set_xlabel("electric field (kV/cm)")
    ax.set_ylabel("drift velocity (cm/s)")
    ax.set_title(f"{mat.upper()} electrons, 300 K")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend()
    png = os.path.join(d, "sweep.png")
    fig.tight_layout()
    fig.savefig(png, dpi=110)
    print(f"PNG: {png}")

if __name__ == "__main__":
    main()
