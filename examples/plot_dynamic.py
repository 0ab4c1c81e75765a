#!/usr/bin/env python3
"""Draws a dynamic-run file of zot: the mean velocity along the field and the mean
kinetic energy against the time since the field was switched on.

usage: plot_dynamic.py FILE [PNG]    (PNG defaults to FILE with the suffix .png)

The dynamic-run file holds a header line, then one line per time step:
time (ps), mean position along the field (nm), mean kinetic energy (eV),
mean total energy (eV), mean velocity along the field (cm/s).
Prints the peak velocity and its time, and the velocity of the last step.
"""
import os
import sys


def read(path):
    rows = []
    with open(path) as f:
        header = f.readline().split()
        if header[:1] != ["temps(ps)"]:
            sys.exit("%s: not a dynamic-run file (no 'temps(ps)' header)" % path)
        for n, line in enumerate(f, start=2):
            parts = line.split()
            if not parts:
                continue
            try:
                rows.append([float(x) for x in parts[:5]])
            except ValueError:
                sys.exit("%s: line %d is not five numbers" % (path, n))
            if len(rows[-1]) != 5:
                sys.exit("%s: line %d is not five numbers" % (path, n))
    if not rows:
        sys.exit("%s: no time step in the file (did the run end early?)" % path)
    return rows


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip().splitlines()[2])
    src = sys.argv[1]
    png = sys.argv[2] if len(sys.argv) == 3 else os.path.splitext(src)[0] + ".png"
    rows = read(src)
    t = [r[0] for r in rows]
    en = [r[2] for r in rows]
    v = [r[4] for r in rows]
    k = max(range(len(v)), key=lambda i: v[i])
    print("peak velocity %.3g cm/s at %.3g ps; last step %.3g cm/s at %.3g ps"
          % (v[k], t[k], v[-1], t[-1]))

    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, ax = plt.subplots(figsize=(7, 4.5))
    ax.plot(t, [x / 1e7 for x in v], color="tab:blue", label="velocity along the field")
    ax.set_xlabel("time since the field was switched on (ps)")
    ax.set_ylabel("mean velocity (1e7 cm/s)", color="tab:blue")
    ax.set_xlim(0, t[-1])
    ax.grid(alpha=0.3)
    ax2 = ax.twinx()
    ax2.plot(t, en, color="tab:red", label="mean kinetic energy")
    ax2.set_ylabel("mean kinetic energy (eV)", color="tab:red")
    ax.set_title(os.path.basename(src))
    lines = ax.get_lines() + ax2.get_lines()
    ax.legend(lines, [l.get_label() for l in lines], loc="upper right")
    fig.tight_layout()
    fig.savefig(png, dpi=110)
    print("wrote", png)


if __name__ == "__main__":
    main()
