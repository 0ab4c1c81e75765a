#!/usr/bin/env python3
"""Writes the small table files of this folder (ONEVAL-bin, TRIVAL-bin, QUAVAL-bin,
SPLITV-bin). Run it from anywhere; the files land beside this script.

Each lambda has a simple rate law; inside an energy domain the total rate is constant
(1.25 times the largest sum of the listed rates over the domain) and a self-scattering
lambda completes it, so the cumulative values of every order list rise to exactly 1."""
import math
import os

ALPH40 = " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789$_&"


def pack40(name):
    s = (name.upper() + "      ")[:6]
    codes = [ALPH40.index(c) for c in s]
    g1 = (codes[0] * 40 + codes[1]) * 40 + codes[2]
    g2 = (codes[3] * 40 + codes[4]) * 40 + codes[5]
    v = (g1 + g2 * 65536) & 0xFFFFFFFF   # a 32-bit word: wraps to negative
    return v - (1 << 32) if v >= (1 << 31) else v


def real(x):
    if x == 0:
        return "0.0"
    t = "%.6g" % x
    if "e" in t:
        m, e = t.split("e")
        return "%sE%+03d" % (m, int(e))
    if "." not in t:
        t += ".0"
    return t


class Lambda:
    def __init__(self, name, nvfl, iphol, rate0, slope=0.0, thr=0.0):
        self.name, self.nvfl, self.iphol = name, nvfl, iphol
        self.rate0, self.slope, self.thr = rate0, slope, thr

    def rate(self, e):
        if self.name.startswith("SSC"):
            return 0.0
        return self.rate0 + self.slope * math.sqrt(max(e - self.thr, 0.0))


class Valley:
    def __init__(self, lambdas, domains, nen, ml, mt, meff, enval, ibval, iforv, alp, c31, c32):
        self.lambdas = lambdas          # list of Lambda, numbered from 1
        self.domains = domains          # list of (first ie, last ie, order list of lambda numbers)
        self.nen = nen
        self.ml, self.mt, self.meff, self.enval = ml, mt, meff, enval
        self.ibval, self.iforv, self.alp, self.c31, self.c32 = ibval, iforv, alp, c31, c32


def columns(v, deltae):
    """Cumulative values (one column per lambda) and totals -1/Lambda of one valley."""
    cols = [[0.0] * v.nen for _ in v.lambdas]
    tot = [0.0] * v.nen
    idom = [0] * v.nen
    for d, (lo, hi, order) in enumerate(v.domains, start=1):
        top = max(sum(v.lambdas[k - 1].rate(ie * deltae) for k in order) for ie in range(lo, hi + 1))
        total = 1.25 * top
        for ie in range(lo, hi + 1):
            idom[ie - 1] = d
            e = (ie - 0.5) * deltae
            acc = 0.0
            for k in order:
                lam = v.lambdas[k - 1]
                if lam.name.startswith("SSC"):
                    cols[k - 1][ie - 1] = 1.0
                else:
                    acc += lam.rate(e) / total
                    cols[k - 1][ie - 1] = round(acc, 6)
            tot[ie - 1] = -1.0 / total
    return cols, tot, idom


def groups(m):
    """The 45 groups of a table file, each a (list of value texts, label)."""
    vs, de = m["valleys"], m["deltae"]
    nva = len(vs)
    g = []
    ints = lambda xs: [str(x) for x in xs]
    reals = lambda xs: [real(x) for x in xs]
    built = [columns(v, de) for v in vs]
    rl, iplam, rt, iptot = [], [], [], []
    for v, (cols, tot, _) in zip(vs, built):
        iplam.append([])
        for c in cols:
            iplam[-1].append(len(rl))
            rl += c
        iptot.append(len(rt))
        rt += tot
    g.append((ints([nva]), "NVA"))
    g.append((ints([len(v.lambdas) for v in vs]), "NLAM"))
    g.append((ints([len(v.domains) for v in vs]), "NDOM"))
    g.append((ints([len(d[2]) for v in vs for d in v.domains]), "NLDOM"))
    g.append((ints([v.nen for v in vs]), "NEN"))
    g.append((ints([len(rl)]), "NCOMP"))
    g.append((ints([len(rt)]), "IDRLT1"))
    g.append((reals(rl), "RLCOMP"))
    g.append((reals(rt), "RLTCOMP"))
    g.append((ints([x for p in iplam for x in p]), "IPLAM"))
    g.append((ints(iptot), "IPTOT"))
    g.append((ints([x for b in built for x in b[2]]), "IDOM"))
    g.append((ints([k for v in vs for d in v.domains for k in d[2]]), "IORDL"))
    g.append((reals([de]), "DELTAE"))
    g.append((reals([v.nen * de for v in vs]), "ENMAX"))
    g.append((ints([pack40(l.name) for v in vs for l in v.lambdas]), "NOMLAM " +
              " ".join(l.name.replace(" ", "_") for v in vs for l in v.lambdas)))
    g.append((reals([k + iv / 10 for iv, v in enumerate(vs, 1) for k in range(1, len(v.lambdas) + 1)]),
              "RLPAR"))
    g.append((ints([l.nvfl for v in vs for l in v.lambdas]), "NVFL"))
    g.append((ints([l.iphol for v in vs for l in v.lambdas]), "IPHOL"))
    g.append(([m["cbande"]], "cbande"))
    g.append((ints([m["ibmat"]]), "IBMAT"))
    g.append((reals([m["engap"]]), "ENGAP"))
    g.append((reals([v.ml for v in vs]), "ML"))
    g.append((reals([v.mt for v in vs]), "MT"))
    g.append((reals([v.meff for v in vs]), "MEFF"))
    g.append((reals([v.enval for v in vs]), "ENVAL"))
    g.append((reals([m["enextr"]]), "ENEXTR"))
    g.append((ints([v.ibval for v in vs]), "IBVAL"))
    g.append((ints([v.iforv for v in vs]), "IFORV"))
    g.append((reals([v.alp for v in vs]), "ALP"))
    g.append(([v.c31 for v in vs], "second valley code"))
    g.append(([v.c32 for v in vs], "first valley code"))
    g.append((reals([m["temp"]]), "TEMP"))
    g.append((reals([m["rpmat"]]), "RPMAT"))
    g.append((reals([m["unused1"]]), "(not kept)"))
    g.append((reals([m["unused1"] + iv for iv in range(1, nva + 1)]), "(not kept)"))
    g.append((reals([m["hwopl"]]), "HWOPL"))
    g.append((reals([m["hwonp"]]), "HWONP"))
    pairs = [(iv, jv) for iv in range(1, nva + 1) for jv in range(1, nva + 1)]
    trip = [(p, iv, jv) for p in range(1, 5) for (iv, jv) in pairs]
    g.append((ints([10 * iv + jv for iv, jv in pairs]), "NZIV0(jv,iv) = 10 iv + jv"))
    g.append((reals([m["hwiv0"].get((jv, iv, p), 0.0) for p, iv, jv in trip]), "HWIV0"))
    g.append((reals([p + iv / 10 + jv / 100 for p, iv, jv in trip]), "CPIV0(jv,iv,p) = p + iv/10 + jv/100"))
    g.append((ints([100 + 10 * iv + jv for iv, jv in pairs]), "NZIV1(jv,iv) = 100 + 10 iv + jv"))
    g.append((reals([m["hwiv1"].get((jv, iv, p), 0.0) for p, iv, jv in trip]), "HWIV1"))
    g.append((reals([-(p + iv / 10 + jv / 100) for p, iv, jv in trip]), "CPIV1(jv,iv,p) = -(p + iv/10 + jv/100)"))
    g.append((reals([m["epbf"]]), "EPBF"))
    assert len(g) == 45
    return g


CHAR_GROUPS = (20, 31, 32)


def write_plain(path, m):
    """Every group on one line, its label after the values."""
    with open(path, "w") as f:
        for n, (vals, label) in enumerate(groups(m), start=1):
            if n in CHAR_GROUPS:
                for c in vals:
                    f.write("%s   group %d: %s\n" % (c, n, label))
            else:
                f.write(" ".join(vals) + "   group %d: %s\n" % (n, label))


def write_split(path, m):
    """The same values with every group cut across lines: one to three values a line,
    commas, tabs and runs of blanks as separators, blank lines inside groups, and junk
    after the last value of each group."""
    seps = [", ", "\t", "   ", " ,  ", ","]
    with open(path, "w") as f:
        for n, (vals, label) in enumerate(groups(m), start=1):
            if n in CHAR_GROUPS:
                for c in vals:
                    f.write("%s junk after the character of group %d\n" % (c, n))
                continue
            i, line_no = 0, 0
            while i < len(vals):
                width = 1 + (n + line_no) % 3
                chunk = vals[i:i + width]
                i += width
                sep = seps[(n + line_no) % len(seps)]
                text = "  " * (line_no % 2) + sep.join(chunk)
                if i >= len(vals):
                    text += "  999 -1 x,y junk after group %d (%s)" % (n, label)
                f.write(text + "\n")
                if line_no % 7 == 3 and i < len(vals):
                    f.write("\n")
                line_no += 1


def one_valley():
    hw = 0.03536
    lams = [Lambda("IMPION", 1, 1, 3.0e11),
            Lambda("ACOUST", 1, 1, 1.0e11, 2.0e12),
            Lambda("OPL  A", 1, 1, 1.0e12),
            Lambda("OPL  E", 1, 1, 0.0, 5.0e12, hw),
            Lambda("SSCATT", 1, 1, 0.0)]
    doms = [(1, 2, [1, 2, 3, 5]),
            (3, 29, [4, 1, 2, 3, 5]),
            (30, 40, [4, 1, 2, 5])]
    v = Valley(lams, doms, 40, 0.067, 0.067, 0.067, 0.0, 7, 0, 0.61, "S", "G")
    return dict(valleys=[v], deltae=0.025, cbande="N", ibmat=1, engap=1.424, enextr=0.0,
                temp=300.0, rpmat=12.9, unused1=0.5, hwopl=hw, hwonp=0.0,
                hwiv0={}, hwiv1={}, epbf=10.92)


def three_valleys():
    hw, hwl, hwx = 0.03536, 0.0278, 0.0299
    eg, el, ex = 0.0, 0.29, 0.48
    gam = Valley([Lambda("IMPION", 1, 1, 3.0e11),
                  Lambda("ACOUST", 1, 1, 1.0e11, 2.0e12),
                  Lambda("OPL  E", 1, 1, 0.0, 5.0e12, hw),
                  Lambda("OPL  A", 1, 1, 1.0e12),
                  Lambda("IV0L E", 2, 1, 0.0, 2.0e13, hwl + el),
                  Lambda("IV0X E", 3, 2, 0.0, 1.0e13, hwx + ex),
                  Lambda("SSCATT", 1, 1, 0.0)],
                 [(1, 2, [1, 2, 4, 7]),
                  (3, 13, [3, 1, 2, 4, 7]),
                  (14, 21, [3, 1, 2, 4, 5, 7]),
                  (22, 48, [3, 1, 2, 4, 5, 6, 7]),
                  (49, 60, [3, 1, 2, 5, 6, 7])],
                 60, 0.067, 0.067, 0.067, eg, 11, 0, 0.61, "G", "1")
    lv = Valley([Lambda("ACOUST", 2, 1, 2.0e11, 4.0e12),
                 Lambda("IV0G E", 1, 1, 0.0, 1.0e12),
                 Lambda("IV0G A", 1, 1, 5.0e11),
                 Lambda("SSCATT", 2, 1, 0.0)],
                [(1, 37, [1, 2, 3, 4]),
                 (38, 60, [1, 4])],
                60, 1.9, 0.075, 0.222, el, 12, 0, 0.461, "L", "4")
    xv = Valley([Lambda("ACOUST", 3, 1, 3.0e11, 6.0e12),
                 Lambda("IV0G E", 1, 2, 0.0, 1.0e12),
                 Lambda("SSCATT", 3, 1, 0.0)],
                [(1, 30, [1, 2, 3]),
                 (31, 60, [1, 3])],
                60, 1.3, 0.23, 0.58, ex, 13, 0, 0.204, "X", "3")
    hwiv0 = {(2, 1, 1): hwl + el, (3, 1, 2): hwx + ex,
             (1, 2, 1): hwl - el, (1, 3, 2): hwx - ex}
    return dict(valleys=[gam, lv, xv], deltae=0.025, cbande="N", ibmat=2, engap=1.424,
                enextr=0.0, temp=300.0, rpmat=12.9, unused1=1.5, hwopl=hw, hwonp=0.0,
                hwiv0=hwiv0, hwiv1={}, epbf=10.92)


def four_valleys():
    hwf, hwg, eu = 0.047, 0.03, 0.1
    vs = []
    for iv in (1, 2, 3):
        nxt = iv % 3 + 1
        lams = [Lambda("ACOUST", iv, 1, 2.0e11, 3.0e12),
                Lambda("IV0F E", nxt, 2, 0.0, 4.0e12, hwf),
                Lambda("IV0F A", nxt, 2, 1.5e12),
                Lambda("IV1U E", 4, 3, 0.0, 2.0e12, hwg + eu),
                Lambda("SSCATT", iv, 1, 0.0)]
        doms = [(1, 2, [1, 3, 5]),
                (3, 6, [1, 2, 3, 5]),
                (7, 28, [1, 2, 3, 4, 5]),
                (29, 40, [1, 2, 4, 5])]
        vs.append(Valley(lams, doms, 40, 0.916, 0.19, 0.3216, 0.0, 20 + iv, iv, 0.5,
                         "XYZ"[iv - 1], str(iv)))
    lams = [Lambda("ACOUST", 4, 1, 2.0e11, 2.0e12),
            Lambda("OPL  E", 4, 4, 0.0, 3.0e12, 0.036),
            Lambda("OPL  A", 4, 4, 8.0e11),
            Lambda("IV1X E", 1, 3, 1.0e12),
            Lambda("SSCATT", 4, 1, 0.0)]
    doms = [(1, 2, [1, 3, 4, 5]),
            (3, 28, [2, 1, 3, 4, 5]),
            (29, 40, [2, 1, 5])]
    vs.append(Valley(lams, doms, 40, 0.25, 0.25, 0.25, eu, 24, 0, 0.3, "U", "4"))
    hwiv0 = {(jv, iv, 2): hwf for iv in (1, 2, 3) for jv in (1, 2, 3) if jv != iv}
    hwiv1 = {(4, iv, 3): hwg + eu for iv in (1, 2, 3)}
    hwiv1[(1, 4, 3)] = hwg - eu
    return dict(valleys=vs, deltae=0.025, cbande="N", ibmat=4, engap=1.12, enextr=0.0,
                temp=300.0, rpmat=11.7, unused1=2.5, hwopl=0.036, hwonp=0.0,
                hwiv0=hwiv0, hwiv1=hwiv1, epbf=11.7)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_plain(os.path.join(here, "ONEVAL-bin"), one_valley())
    write_plain(os.path.join(here, "TRIVAL-bin"), three_valleys())
    write_plain(os.path.join(here, "QUAVAL-bin"), four_valleys())
    write_split(os.path.join(here, "SPLITV-bin"), three_valleys())
