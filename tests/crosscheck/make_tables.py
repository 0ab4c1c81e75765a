#!/usr/bin/env python3
"""Writes the one-valley table files of the crosscheck scenarios that need mechanisms the
shared test tables avoid: impact ionisation, rejected absorptions, a polar optical event
in an ellipsoidal valley, a lambda of no known kind, cumulative values that stop short of
1, and a domain map shorter than the energy range.  Run it from this folder; it writes
scenarios/<name>/tables/{replam,<TABLE>-bin}."""
import os

ALPH40 = " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789$_&"


def pack(name):
    c = [ALPH40.index(ch) for ch in name.ljust(6)[:6]]
    g1 = (c[0] * 40 + c[1]) * 40 + c[2]
    g2 = (c[3] * 40 + c[4]) * 40 + c[5]
    v = g1 + g2 * 65536
    return v - (1 << 32) if v >= (1 << 31) else v


def table(names, domains, nen=40, enmax=1.0, iforv=0, engap=0.3, last=1.0):
    """domains: list of (first ie, last ie, [(lambda no, cumulative value)...])."""
    nlam = len(names)
    col = {k: [0.0] * nen for k in range(1, nlam + 1)}
    idom = [0] * nen
    order = []
    for j, (a, b, lst) in enumerate(domains, 1):
        for ie in range(a, b + 1):
            idom[ie - 1] = j
            for k, v in lst:
                col[k][ie - 1] = v
        order.append([k for k, _ in lst])
        # the last listed value of the last domain may stop short of 1
    for ie in range(domains[-1][0], domains[-1][1] + 1):
        col[domains[-1][2][-1][0]][ie - 1] = last
    g = []
    g.append("1")
    g.append(str(nlam))
    g.append(str(len(domains)))
    g.append(" ".join(str(len(o)) for o in order))
    g.append(str(nen))
    g.append(str(nlam * nen))
    g.append(str(nen))
    g.append(" ".join(repr(v) for k in range(1, nlam + 1) for v in col[k]))
    g.append(" ".join(["-1.0E-13"] * nen))
    g.append(" ".join(str(nen * k) for k in range(nlam)))
    g.append("0")
    g.append(" ".join(str(d) for d in idom))
    g.append(" ".join(str(k) for o in order for k in o))
    g.append("0.025")
    g.append(repr(enmax))
    g.append(" ".join(str(pack(n)) for n in names))
    g.append(" ".join("%d.1" % k for k in range(1, nlam + 1)))
    g.append(" ".join(["1"] * nlam))
    g.append(" ".join(["1"] * nlam))
    g.append("N")
    g.append("1")
    g.append(repr(engap))
    g += ["0.916" if iforv else "0.067", "0.19" if iforv else "0.067", "0.067", "0.0", "0.0", "7",
          str(iforv), "0.61", "S", "G", "300.0", "12.9", "1.5", "2.5", "0.035", "0.05", "11",
          "0.04 0.0 0.0 0.0", "1.0 2.0 3.0 4.0", "111", "0.06 0.0 0.0 0.0", "-1.0 -2.0 -3.0 -4.0", "10.92"]
    return "\n".join(g) + "\n"


def write(scen, tname, material, text):
    d = os.path.join("scenarios", scen, "tables")
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, tname + "-bin"), "w") as fh:
        fh.write(text)
    with open(os.path.join(d, "replam"), "w") as fh:
        fh.write("%-12s    %-12s    %5s    E    %s\n" % (tname, material, "300.", "1.0000E+17"))


# Ionisation above a 0.3 eV gap, and absorptions listed up to the top of the table, so
# that OPL A and ONP A events near ENMAX are rejected and drawn again.
IONS = ["IMPION", "ACOUST", "OPL  A", "OPL  E", "IONIZE", "ONP  A", "SSCATT"]
write("ionisation", "IONVAL", "GAASION", table(IONS, [
    (1, 8, [(1, 0.2), (2, 0.4), (3, 0.6), (6, 0.7), (7, 1.0)]),
    (9, 40, [(1, 0.1), (2, 0.2), (3, 0.35), (4, 0.5), (5, 0.75), (6, 0.85), (7, 1.0)])]))
# A polar optical emission in a valley elongated along x.
write("anisotropy_stop", "ANIVAL", "ANISO", table(["OPL  E", "SSCATT"], [
    (1, 40, [(1, 0.9), (2, 1.0)])], iforv=1))
# A lambda whose name has no kind.
write("unknown_lambda", "UNKVAL", "UNKNOWN", table(["XYZABC", "SSCATT"], [
    (1, 40, [(1, 0.6), (2, 1.0)])]))
# The cumulative values stop at 0.5.
write("trilamb_stop", "TRILVL", "TRILAMB", table(["ACOUST", "SSCATT"], [
    (1, 40, [(1, 0.3), (2, 1.0)])], last=0.5))
# Only 12 energy indices for a 1 eV table.
write("index_beyond_table", "SHORTV", "SHORT", table(["ACOUST", "SSCATT"], [
    (1, 12, [(1, 0.3), (2, 1.0)])], nen=12))
# The same short table under a single particle: the noise file keeps the steps completed.
write("noise_fatal", "SHORTV", "SHORT", table(["ACOUST", "SSCATT"], [
    (1, 12, [(1, 0.3), (2, 1.0)])], nen=12))


def write_many(scen, entries):
    """entries: (table name, material, file text)."""
    d = os.path.join("scenarios", scen, "tables")
    os.makedirs(d, exist_ok=True)
    cat = []
    for tname, material, text in entries:
        with open(os.path.join(d, tname + "-bin"), "w") as fh:
            fh.write(text)
        cat.append("%-12s    %-12s    %5s    E    %s\n" % (tname, material, "300.", "1.0000E+17"))
    with open(os.path.join(d, "replam"), "w") as fh:
        fh.write("".join(cat))


# Table files that the reader must refuse: five valleys; a file cut after group 20; an
# order list naming lambda 9 of a two-lambda valley; a value that is not a number.
GOOD = table(["ACOUST", "SSCATT"], [(1, 40, [(1, 0.3), (2, 1.0)])])
lines = GOOD.split("\n")
write_many("table_failures", [
    ("BADNVA", "BADNVA", "5\n" + "\n".join(lines[1:])),
    ("SHORTT", "SHORTT", "\n".join(lines[:20]) + "\n"),
    ("BADORD", "BADORD", "\n".join(lines[:12] + ["1 9"] + lines[13:])),
    ("BADVAL", "BADVAL", "\n".join(lines[:13] + ["0.025x"] + lines[14:])),
])


def two_valley_table():
    """Two spherical valleys whose lambdas cover the kinds the shared tables leave out:
    piezoelectric, non-polar optical, intervalley absorption of both orders, alloy,
    surface, recombination, ionisation, and impurity/acoustic events that change valley."""
    v1 = [("PIEZOE", 1, 1), ("ONP  E", 1, 1), ("ONP  A", 1, 1), ("IV1X A", 2, 1), ("IV1X E", 2, 1),
          ("IV0X A", 2, 2), ("ALLOYS", 2, 1), ("SURFAC", 1, 1), ("RECOMB", 1, 1), ("IONIZE", 1, 1),
          ("SSCATT", 1, 1)]
    v2 = [("IV0X E", 1, 2), ("IMPION", 2, 1), ("ACOUST", 1, 1), ("IV1X E", 1, 1), ("SSCATT", 2, 1)]
    nen = 40
    cols = []
    for lst in (v1, v2):
        n = len(lst)
        for k in range(1, n + 1):
            cols.append([round(k / n, 6) if k < n else 1.0] * nen)
    nl1, nl2 = len(v1), len(v2)
    g = ["2", "%d %d" % (nl1, nl2), "1 1", "%d %d" % (nl1, nl2), "%d %d" % (nen, nen),
         str(len(cols) * nen), str(2 * nen),
         " ".join(repr(v) for c in cols for v in c),
         " ".join(["-1.0E-13"] * nen + ["-2.0E-13"] * nen),
         " ".join(str(nen * k) for k in range(len(cols))),
         "0 %d" % nen,
         " ".join(["1"] * (2 * nen)),
         " ".join(str(k) for k in range(1, nl1 + 1)) + " " + " ".join(str(k) for k in range(1, nl2 + 1)),
         "0.025", "1.0 1.0",
         " ".join(str(pack(n)) for n, _, _ in v1 + v2),
         " ".join("%d.5" % k for k in range(1, nl1 + nl2 + 1)),
         " ".join(str(f) for _, f, _ in v1 + v2),
         " ".join(str(p) for _, _, p in v1 + v2),
         "N", "1", "0.3", "0.067 0.2", "0.067 0.2", "0.067 0.2", "0.0 0.1", "0.0", "7 8", "0 0",
         "0.5 0.3", "G", "L", "1", "2", "300.0", "12.9", "1.5", "2.5 3.5", "0.035", "0.05",
         "11 12 21 22"]
    # HWIV(jv, iv, p), jv fastest, then iv, then p
    hw0 = {(1, 2, 2): -0.07, (2, 1, 2): 0.17}
    hw1 = {(2, 1, 1): 0.12, (1, 2, 1): 0.02}
    order = [(jv, iv, p) for p in range(1, 5) for iv in (1, 2) for jv in (1, 2)]
    g.append(" ".join(repr(hw0.get(t, 0.0)) for t in order))
    g.append(" ".join(["1.0"] * 16))
    g.append("111 112 121 122")
    g.append(" ".join(repr(hw1.get(t, 0.0)) for t in order))
    g.append(" ".join(["-1.0"] * 16))
    g.append("10.92")
    return "\n".join(g) + "\n"


write("all_kinds", "ALLKND", "ALLKINDS", two_valley_table())
