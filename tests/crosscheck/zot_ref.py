#!/usr/bin/env python3
"""Independent reference of a zot session made of CA runs, written in Python.

Usage: zot_ref.py < stdin   (run in the run directory, like zot itself)

It understands the commands CA, DEBUG and EXIT/Q only, and writes on standard output
the session's text with the banner date written as <DATE>.  Every real is a 32-bit
float (numpy.float32) and every operation is done in the order the program states;
the mathematical functions are the C library's float versions, so that results round
exactly as a single-precision program's do.
"""
import ctypes
import re
import struct
import sys

import numpy as np

np.seterr(all="ignore")
F = np.float32

_libm = ctypes.CDLL("libm.so.6")
_libc = ctypes.CDLL("libc.so.6")


def _f1(name):
    fn = getattr(_libm, name)
    fn.restype = ctypes.c_float
    fn.argtypes = [ctypes.c_float]
    return lambda x: F(fn(float(x)))


expf = _f1("expf")
logf = _f1("logf")
sqrtf = _f1("sqrtf")
erff = _f1("erff")
sinf = _f1("sinf")
cosf = _f1("cosf")
_powf = _libm.powf
_powf.restype = ctypes.c_float
_powf.argtypes = [ctypes.c_float, ctypes.c_float]


def powf(x, y):
    return F(_powf(float(x), float(y)))


_strtof = _libc.strtof
_strtof.restype = ctypes.c_float
_strtof.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_char_p)]


def to_real(tok):
    """Decimal text to the nearest single-precision value (D exponent accepted)."""
    t = tok.replace("D", "E").replace("d", "e")
    float(t)  # raises on junk
    return F(_strtof(t.encode(), None))


# ----------------------------------------------------------------------------------------
# Output
# ----------------------------------------------------------------------------------------
class Out:
    def __init__(self):
        self.parts = []
        self.pending = ""  # an open prompt

    def line(self, s):
        self.parts.append(self.pending + s + "\n")
        self.pending = ""

    def prompt(self, s):
        self.pending += s

    def text(self):
        return "".join(self.parts) + self.pending


OUT = Out()


def ff_real(x):
    """Field of a real in a free-format line (without the separating blank)."""
    x = F(x)
    if x == 0:
        return "  0."
    v = float(x)
    if v != v:
        return "%14s" % "NaN"
    if v in (float("inf"), float("-inf")):
        return "%14s" % ("Infinity" if v > 0 else "-Infinity")
    s = "%.5e" % v
    e = int(s.split("e")[1])
    if -1 <= e <= 5:
        dec = 6 if e == -1 else 6 - (e + 1)
        txt = "%.*f" % (dec, v)
        if dec == 0:
            txt += "."  # fixed notation always shows the point
        return "%10s" % txt
    mant, ex = s.split("e")
    ei = int(ex)
    return "%14s" % ("%sE%s%02d" % (mant, "-" if ei < 0 else "+", abs(ei)))


class Real:
    def __init__(self, v):
        self.v = F(v)


class Logical:
    def __init__(self, v):
        self.v = bool(v)


def free(*items):
    """One free-format output line (wrapped at 80 columns by the nominal widths)."""
    buf = " "
    for it in items:
        if isinstance(it, str):
            txt, w = it, len(it)
        elif isinstance(it, Logical):
            txt, w = "  " + ("T" if it.v else "F"), 3
        elif isinstance(it, (int, np.integer)) and not isinstance(it, bool):
            d = str(int(it))
            txt, w = "  " + d, len(d) + 2
        else:
            v = it.v if isinstance(it, Real) else F(it)
            fld = ff_real(v)
            if fld == "  0.":
                txt, w = fld, 4
            else:
                txt, w = " " + fld, 7
        if len(buf) >= 2 and len(buf) + w > 80:
            OUT.line(buf)
            buf = " "
        buf += txt
    OUT.line(buf)


def fF(x, w, d):
    v = float(F(x))
    if v != v:
        s = "NaN"
    elif v in (float("inf"), float("-inf")):
        s = "Infinity" if w >= 8 + (v < 0) else "Inf"
        if v < 0:
            s = "-" + s
    else:
        s = "%.*f" % (d, v)
        if d == 0:
            s += "."
    return s.rjust(w) if len(s) <= w else "*" * w


def fE(x, w, d, p1):
    v = float(F(x))
    if v != v or v in (float("inf"), float("-inf")):
        if v != v:
            s = "NaN"
        else:
            s = "Infinity" if w >= 8 + (v < 0) else "Inf"
            if v < 0:
                s = "-" + s
        return s.rjust(w) if len(s) <= w else "*" * w
    neg = v < 0 or (v == 0 and struct.pack(">f", v)[0] & 0x80)
    a = abs(v)
    if p1:
        if a == 0:
            mant, e = "0." + "0" * d, 0
        else:
            s = "%.*e" % (d, a)
            m, ex = s.split("e")
            mant, e = m, int(ex)
    else:
        if a == 0:
            mant, e = "0." + "0" * d, 0
        else:
            s = "%.*e" % (d - 1, a)
            m, ex = s.split("e")
            mant, e = "0." + m.replace(".", ""), int(ex) + 1
    s = "%s%sE%s%02d" % ("-" if neg else "", mant, "-" if e < 0 else "+", abs(e))
    return s.rjust(w) if len(s) <= w else "*" * w


def fI(n, w):
    s = str(int(n))
    return s.rjust(w) if len(s) <= w else "*" * w


# ----------------------------------------------------------------------------------------
# Process-wide state
# ----------------------------------------------------------------------------------------
XM0 = F(9.10956e-31)
EPS0 = F(8.85425e-12)
PI = F(3.14159)
DPI = PI * F(2)
DSRPI = F(1.128379)
XMSQ = F(5.68569e-12)
QE = F(1.60219e-19)
QS6M = F(2.93133e10)
DQSM = F(3.5176e11)
HBAR = F(1.05458e-34)
KBSQ = F(8.61708e-5)

ISEED = [0, 12113, 10855, 23431, 19763, 14123, 12865, 25441, 21773, 35677, 67890, 56788, 45123]
NDRAW = [0] * 13
ALPH40 = " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789$_&"


def alea(k):
    s = ISEED[k] * 3125 + 7
    s = s % 524288 if s >= 0 else -((-s) % 524288)
    if s == 0:
        s = 7
    ISEED[k] = s
    return F(s) / F(524288.0)


def dgsr40(n):
    n &= 0xFFFFFFFF
    g1, g2 = n % 65536, n // 65536
    out = []
    for g in (g1, g2):
        c3 = g % 40
        c2 = (g // 40) % 40
        c1 = (g // 1600) % 40
        out += [ALPH40[c1], ALPH40[c2], ALPH40[c3]]
    return "".join(out)


class M:  # material model (reset every run)
    pass


ITYPL = [[0] * 41 for _ in range(5)]  # survives from run to run
state = {"debug": 0, "nerr": 0, "buf": ""}


def error(n):
    """A numbered message of the program's message file (plain messages only)."""
    state["nerr"] += 1
    OUT.line(" " + state["buf"].ljust(200)[:78])
    with open("zotmer" if n > 0 else "synerr") as fh:
        msg = fh.read().split("\n")[abs(n)]
    assert msg[0] == "2", "reference: only plain messages are modelled"
    OUT.line(msg.ljust(110)[1:110])


def tokens_of(line):
    return line.replace(",", " ").replace("\t", " ").split()


class GroupReader:
    def __init__(self, lines):
        self.lines = lines
        self.i = 0
        self.n = 0  # number of the group being read

    def _next_line(self):
        if self.i >= len(self.lines):
            raise EOFError
        ln = self.lines[self.i]
        self.i += 1
        return ln

    def group(self, n, kind):
        self.n += 1
        vals = []
        if n <= 0:
            self._next_line()
            return vals
        while len(vals) < n:
            toks = tokens_of(self._next_line())
            for t in toks:
                if len(vals) == n:
                    break
                vals.append(parse_value(t, kind))
        return vals

    def chars(self, n):
        self.n += 1
        out = []
        for _ in range(max(n, 0)):
            ln = self._next_line()
            out.append((ln + " ")[0])
        if n <= 0:
            self._next_line()
        return out


def reset_model():
    m = M()
    m.NVA = 0
    m.DELTAE = F(0)
    m.ENEXTR = m.ENGAP = m.EPBF = m.HWOPL = m.HWONP = m.RPMAT = F(0)
    z4 = lambda v: [v] * 5
    m.NLAM, m.NDOM, m.NEN, m.IPTOT = z4(0), z4(0), z4(0), z4(0)
    m.ENMAX, m.ENVAL, m.ALP, m.ML, m.MT, m.MEFF = (z4(F(0)) for _ in range(6))
    m.IFORV = z4(0)
    m.NLDOM = [[0] * 16 for _ in range(5)]
    m.IORDL = [[[0] * 41 for _ in range(16)] for _ in range(5)]
    m.IPLAM = [[0] * 41 for _ in range(5)]
    m.NOMLAM = [[0] * 41 for _ in range(5)]
    m.NVFL = [[0] * 41 for _ in range(5)]
    m.IPHOL = [[0] * 41 for _ in range(5)]
    m.NBLAM = [[0] * 41 for _ in range(5)]
    m.IDOM = [[0] * 1501 for _ in range(5)]
    # HW[jv][iv][p]
    m.HWIV0 = [[[F(0)] * 5 for _ in range(5)] for _ in range(5)]
    m.HWIV1 = [[[F(0)] * 5 for _ in range(5)] for _ in range(5)]
    m.RLAM = [F(0)] * 80001
    m.RLTOT = [F(0)] * 5001
    m.TEMP = F(0)
    m.cbande = " "
    return m


class TableFailure(Exception):
    def __init__(self, code):
        self.code = code


def lila(m, path):
    txt = opnold(path)
    if txt is None:
        return 1
    lines = txt.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    g = GroupReader(lines)
    try:
        load_groups(m, g)
    except (EOFError, ValueError):
        free(" Fichier ", path, " : groupe no", g.n)
        error(4)
        return 1
    except TableFailure:
        free(" Fichier ", path, " : groupe no", g.n)
        error(5)
        return 1
    if state["debug"] >= 5:
        free("LILA: materiau no ", 1)
        free("LILA: NVA lu = ", m.NVA)
        free("LILA: EPBF lu = ", m.EPBF)
    return 0


def check(cond):
    if not cond:
        raise TableFailure(5)


def load_groups(m, g):
    nva = g.group(1, "i")[0]
    check(1 <= nva <= 4)
    m.NVA = nva
    vs = g.group(nva, "i")
    check(all(v <= 40 for v in vs))
    for iv in range(1, nva + 1):
        m.NLAM[iv] = vs[iv - 1]
    vs = g.group(nva, "i")
    check(all(v <= 15 for v in vs))
    for iv in range(1, nva + 1):
        m.NDOM[iv] = vs[iv - 1]
    vs = g.group(sum(max(m.NDOM[iv], 0) for iv in range(1, nva + 1)), "i")
    check(all(v <= 40 for v in vs))
    vs = iter(vs)
    for iv in range(1, nva + 1):
        for j in range(1, m.NDOM[iv] + 1):
            m.NLDOM[iv][j] = next(vs)
    vs = g.group(nva, "i")
    check(all(v <= 1500 for v in vs))
    for iv in range(1, nva + 1):
        m.NEN[iv] = vs[iv - 1]
    m.NCOMP = g.group(1, "i")[0]
    check(m.NCOMP <= 80000)
    m.IDRLT1 = g.group(1, "i")[0]
    check(m.IDRLT1 <= 5000)
    m.RLCOMP = [F(0)] + g.group(m.NCOMP, "r")
    m.RLTCOMP = [F(0)] + g.group(m.IDRLT1, "r")
    check(all(np.isfinite(v) and v < 0 for v in m.RLTCOMP[1:]))
    vs = iter(g.group(sum(max(m.NLAM[iv], 0) for iv in range(1, nva + 1)), "i"))
    for iv in range(1, nva + 1):
        for k in range(1, m.NLAM[iv] + 1):
            v = next(vs)
            check(0 <= v <= m.NCOMP - m.NEN[iv])
            m.IPLAM[iv][k] = v
    vs = g.group(nva, "i")
    for iv in range(1, nva + 1):
        check(0 <= vs[iv - 1] <= m.IDRLT1 - m.NEN[iv])
        m.IPTOT[iv] = vs[iv - 1]
    vs = iter(g.group(sum(max(m.NEN[iv], 0) for iv in range(1, nva + 1)), "i"))
    for iv in range(1, nva + 1):
        for ie in range(1, m.NEN[iv] + 1):
            v = next(vs)
            check(1 <= v <= m.NDOM[iv])
            m.IDOM[iv][ie] = v
    tot = sum(max(m.NLDOM[iv][j], 0) for iv in range(1, nva + 1) for j in range(1, m.NDOM[iv] + 1))
    vs = iter(g.group(tot, "i"))
    for iv in range(1, nva + 1):
        for j in range(1, m.NDOM[iv] + 1):
            for k in range(1, m.NLDOM[iv][j] + 1):
                v = next(vs)
                check(1 <= v <= m.NLAM[iv])
                m.IORDL[iv][j][k] = v
    m.DELTAE = g.group(1, "r")[0]
    check(m.DELTAE > 0)
    vs = g.group(nva, "r")
    check(all(v > 0 and v >= m.DELTAE for v in vs))
    for iv in range(1, nva + 1):
        m.ENMAX[iv] = vs[iv - 1]
    nl = sum(max(m.NLAM[iv], 0) for iv in range(1, nva + 1))
    for arr, kind in ((m.NOMLAM, "i"), (None, "r"), (m.NVFL, "i"), (m.IPHOL, "i")):
        vs = iter(g.group(nl, kind))
        for iv in range(1, nva + 1):
            for k in range(1, m.NLAM[iv] + 1):
                v = next(vs)
                if arr is m.NVFL:
                    check(1 <= v <= nva)
                if arr is m.IPHOL:
                    check(1 <= v <= 4)
                if arr is not None:
                    arr[iv][k] = v
    m.cbande = g.chars(1)[0]
    g.group(1, "i")  # IBMAT
    m.ENGAP = g.group(1, "r")[0]
    for name in ("ML", "MT", "MEFF", "ENVAL"):
        vs = g.group(nva, "r")
        arr = getattr(m, name)
        for iv in range(1, nva + 1):
            arr[iv] = vs[iv - 1]
    m.ENEXTR = g.group(1, "r")[0]
    g.group(nva, "i")  # IBVAL
    vs = g.group(nva, "i")
    for iv in range(1, nva + 1):
        m.IFORV[iv] = vs[iv - 1]
    vs = g.group(nva, "r")
    for iv in range(1, nva + 1):
        m.ALP[iv] = vs[iv - 1]
    g.chars(nva)
    g.chars(nva)
    m.TEMP = g.group(1, "r")[0]
    check(np.isfinite(m.TEMP) and m.TEMP > 0)
    m.RPMAT = g.group(1, "r")[0]
    g.group(1, "r")
    g.group(nva, "r")
    m.HWOPL = g.group(1, "r")[0]
    m.HWONP = g.group(1, "r")[0]
    for hw in (m.HWIV0, m.HWIV1):
        g.group(nva * nva, "i")
        vs = iter(g.group(4 * nva * nva, "r"))
        for p in range(1, 5):
            for iv in range(1, nva + 1):
                for jv in range(1, nva + 1):
                    hw[jv][iv][p] = next(vs)
        g.group(4 * nva * nva, "r")
    m.EPBF = g.group(1, "r")[0]


def search(ficrep, nommat, temp, typ, dopmat):
    txt = opnold(ficrep)
    if txt is None:
        return None
    lines = txt.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    nomusr2 = nommat + " "
    for ln in lines:
        ln = ln.ljust(80)
        nfidat = ln[0:12].ljust(80)
        nomrep = ln[16:28]
        try:
            t = ln[32:37].strip()
            temrep = to_real(t) if t else F(0)
            typrep = ln[41]
            d = ln[46:57].strip()
            if d and not any(c in d for c in "eEdD"):
                doprep = to_real(d) / F(10)
            else:
                doprep = to_real(d) if d else F(0)
        except ValueError:
            break
        nomrep2 = nomrep + " "
        inom = nomusr2.index(" ") + 1
        inn = nomrep2.index(" ") + 1
        if state["debug"] >= 2:
            free(nfidat, nomrep, Real(temrep), typrep, Real(doprep))
            free("INOM=", inom, "  ;   IN=", inn)
        if inn == inom and nommat[: inom - 1] == nomrep[: inn - 1] and typ == typrep \
                and temp == temrep and abs(dopmat - doprep) <= F(0.01) * abs(dopmat):
            return nfidat
    OUT.line(" Il n'existe pas de donnees sur      %s de type %s  A  T= %s" % (nommat, typ, fF(temp, 5, 0)) + "K")
    free("CONSEIL : Utiliser la clef REP pour reperer", " un fichier modele")
    free("et utilisez le au cours de la creation (CRE)...")
    state["nerr"] += 1  # a search that finds nothing is a counted error
    return None


# ----------------------------------------------------------------------------------------
# The run
# ----------------------------------------------------------------------------------------
class Run:
    pass


class InputFailure(Exception):
    pass


def opnold(name):
    """Opens an existing text file (then its lower-case name); reports a failure."""
    for cand in (name.rstrip(), name.rstrip().lower()):
        try:
            with open(cand, "r", errors="replace") as fh:
                return fh.read()
        except OSError as exc:
            err = exc.errno
    error(-7)
    line = " I/O STATUS : " + fI(err, 12) + " FICHIER : " + name
    OUT.line(" " + line.ljust(120)[:78])
    return None


INT_RE = re.compile(r"^[+-]?[0-9]+$")
REAL_RE = re.compile(r"^[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([EeDd][+-]?[0-9]+)?$")


def parse_value(tok, kind):
    if kind == "i":
        if not INT_RE.match(tok) or not -2**31 <= int(tok) < 2**31:
            raise ValueError(tok)
        return int(tok)
    if not REAL_RE.match(tok):
        raise ValueError(tok)
    v = to_real(tok)
    if not np.isfinite(v):
        raise ValueError(tok)
    return v


class RecReader:
    """The records of a material or run data file, read in order."""

    def __init__(self, name):
        txt = opnold(name)
        if txt is None:
            error(2)
            raise InputFailure
        self.name = name
        self.lines = txt.split("\n")
        if self.lines and self.lines[-1] == "":
            self.lines.pop()
        self.i = 0

    def fail(self, rec):
        free(" Fichier ", self.name, " : enregistrement no", rec)
        error(3)
        raise InputFailure

    def _line(self, rec):
        if self.i >= len(self.lines):
            self.fail(rec)
        self.i += 1
        return self.lines[self.i - 1]

    def free(self, rec, kinds):
        vals = []
        while len(vals) < len(kinds):
            for t in tokens_of(self._line(rec)):
                if len(vals) == len(kinds):
                    break
                try:
                    vals.append(parse_value(t, kinds[len(vals)]))
                except ValueError:
                    self.fail(rec)
        return vals

    def text(self, rec):
        return self._line(rec)[:12].ljust(12)

    def skip(self, rec):
        self._line(rec)


def run_ca(stdin_lines):
    R = Run()
    m = reset_model()
    R.m = m
    OUT.prompt("nom du fichier de donnees du materiau ? ")
    if not stdin_lines:
        return
    filmat = stdin_lines.pop(0)[:12].ljust(12)
    OUT.prompt("nom du fichier de donnees du run ? ")
    if not stdin_lines:
        return
    fildon = stdin_lines.pop(0)[:12].ljust(12)
    OUT.line("")
    OUT.line("")
    try:
        rd = RecReader(filmat)
        state["debug"] = rd.free(1, "i")[0]
        R.ITPORT = rd.free(2, "i")[0]
        m.TEMP = rd.free(3, "r")[0]
        R.nommat = rd.text(4)
        R.dopmat = rd.free(5, "r")[0]
        rd = RecReader(fildon)
        R.npart = rd.free(1, "i")[0]
        R.nvinit = rd.free(2, "i")[0]
        R.STAT = rd.free(3, "i")[0]
        rd.skip(4)
        R.eex = rd.free(5, "r")[0]
        R.ex = R.eex * F(1e5)
        R.exn = R.ex * F(1e-7)
        R.eey = rd.free(6, "r")[0]
        R.ey = R.eey * F(1e5)
        R.eyn = R.ey * F(1e-7)
        R.eez = rd.free(7, "r")[0]
        R.ez = R.eez * F(1e5)
        R.ezn = R.ez * F(1e-7)
        R.champ = sqrtf((R.ex * R.ex + R.ey * R.ey) + R.ez * R.ez)
        R.tcalip = rd.free(8, "r")[0]
        R.tcali = R.tcalip * F(1e-12)
        R.dteqp = rd.free(9, "r")[0]
        R.dteq = R.dteqp * F(1e-12)
        R.ndteq = rd.free(10, "i")[0]
        R.nfrlx = rd.free(11, "i")[0]
        R.tcalm = rd.free(12, "r")[0] * F(1e-12)
        R.ei = R.ef = R.dec = R.dt = R.dtp = F(0)
        R.ndt = 0
        if R.STAT != 0:
            for k in range(13, 18):
                rd.skip(k)
        else:
            rd.skip(13)
            R.ei, R.ef = rd.free(14, "rr")
            R.ei *= F(1e5)
            R.ef *= F(1e5)
            R.dec = rd.free(15, "r")[0]
            R.dtp, R.ndt = rd.free(16, "ri")
            R.dt = R.dtp * F(1e-12)
            rd.free(17, "r")
        rd.skip(18)
        R.filspc = rd.text(19)
        R.fildes = rd.text(20)
    except InputFailure:
        return
    R.ispec = 0 if R.filspc[0] == "N" else 1
    dbg = state["debug"]
    free("Materiau : ")
    free(R.nommat)
    free("type de porteurs : ", R.ITPORT)
    free("temperature = ", m.TEMP, " K")
    free("dopage = ", R.dopmat, " cm-3")
    free("nb de particules = ", R.npart)
    free("stat. (T) ou dyn. (F) :", Logical(R.STAT != 0))
    free("champ electrique :")
    free("    EX = ", Real(R.ex), " V/m")
    free("    EY = ", Real(R.ey), " V/m")
    free("    EZ = ", Real(R.ez), " V/m")
    free("       -> CHAMP = ", Real(R.champ), " V/m")
    free("temps de calcul initial = ", Real(R.tcali), " s")
    free("pas de temps DTEQ = ", Real(R.dteq), " s")
    free("nb de pas de temps NDTEQ = ", R.ndteq)
    free("nb de tps de relaxation NFRLX = ", R.nfrlx)
    free("temps de calcul maximum TCALM = ", Real(R.tcalm))
    free("fichier de spectres : ")
    free(R.filspc)
    ficrep = ".././replam".ljust(80)
    if dbg >= 5:
        free(" FICREP = ", ficrep)
        free(" NOMMAT = ", R.nommat)
    nfidat = search(ficrep, R.nommat, m.TEMP, "E" if R.ITPORT == 1 else "T", R.dopmat)
    if nfidat is None:
        return
    if dbg >= 5:
        free(" NFIDAT = ", nfidat)
    tname = ".././" + nfidat[:6] + "-bin"
    if lila(m, tname.rstrip()):
        return
    # limits checked right after the load
    for cond, name in ((not (1 <= R.npart <= 50000), "NPART"), (R.nvinit > m.NVA, "NVINIT"),
                       (not (R.tcali > 0), "TCALI"), (not (R.dteq > 0), "DTEQ"),
                       (R.nvinit < 1, "NVINIT"), (R.ex < 0, "EX"), (R.ey < 0, "EY"), (R.ez < 0, "EZ"),
                       (R.tcalip > 1000, "TCALI"), (R.dteqp > 1000, "DTEQ"),
                       (R.STAT == 0 and R.dtp > 1000, "DT"), (R.STAT == 0 and R.dec < 0, "DEC")):
        if cond:
            free(" Donnee hors limites : ", name)
            error(6)
            return
    if dbg >= 4:
        free("Lecture du -bin terminee:")
        free(" EPBF = ", m.EPBF, "   ENGAP = ", m.ENGAP)
        free(" nb de vallees = ", m.NVA)
        for iv in range(1, m.NVA + 1):
            free("   Vallee no", iv, " :")
            free("IFORV,ML,MT,MEFF,ENMAX=", m.IFORV[iv], m.ML[iv], m.MT[iv], m.MEFF[iv], m.ENMAX[iv])
        if 5 <= dbg < 100:
            free("IDRLT1=", m.IDRLT1, " Lambda total = ")
            free(*[Real(m.RLTCOMP[n]) for n in range(1, m.IDRLT1 + 1)])
    for n in range(1, m.NCOMP + 1):
        m.RLAM[n] = m.RLCOMP[n]
    for n in range(1, m.IDRLT1 + 1):
        m.RLTOT[n] = m.RLTCOMP[n]
    if R.ITPORT == 1:
        m.cbande = "N"
    elif R.ITPORT == 2:
        m.cbande = "P"
    R.rnd = R.dopmat * F(1e6)
    R.t = m.TEMP
    R.kbtsq = KBSQ * R.t
    R.eth = R.kbtsq * F(1.5)
    R.rndo = R.rnd * F(1e-6)
    OUT.line("")
    OUT.line("")
    OUT.line("")
    OUT.line(" " + "*" * 60)
    OUT.line(" " * 20 + R.nommat)
    OUT.line("  Dopage=" + fE(R.rndo, 10, 3, False) + " cm-3    Type " + m.cbande + "    T=" + fF(R.t, 5, 0) + " K")
    OUT.line(" " + "*" * 60)
    OUT.line("")
    OUT.line("")
    # kind codes
    codes = {"IMP": 1, "ACO": 2, "PIE": 3, "ALL": 12, "SUR": 13, "REC": 14, "ION": 15, "SSC": 16}
    codes2 = {("OPL", "E"): 4, ("OPL", "A"): 5, ("ONP", "E"): 6, ("ONP", "A"): 7,
              ("IV0", "E"): 8, ("IV0", "A"): 9, ("IV1", "E"): 10, ("IV1", "A"): 11}
    for iv in range(1, m.NVA + 1):
        for k in range(1, m.NLAM[iv] + 1):
            name = dgsr40(m.NOMLAM[iv][k])
            c = codes.get(name[:3]) or codes2.get((name[:3], name[5]))
            if c:
                ITYPL[iv][k] = c
    # spectra grids
    if R.ispec == 1:
        R.delten = F(0)
        R.deltv = F(0)
        for iv in range(1, 5):
            if m.ENMAX[iv] != 0:
                d1 = m.ENMAX[iv] / F(501)
                d2 = (F(2) * sqrtf((((F(2) * QE) / m.MEFF[iv]) / XM0) * m.ENMAX[iv])) / F(501)
                free("IV=", iv, "  DELTEN,DELTV=", Real(d1), Real(d2))
                if d1 > R.delten:
                    R.delten = d1
                if d2 > R.deltv:
                    R.deltv = d2
        R.es = [F(i) * R.delten + R.delten / F(2) for i in range(501)]
        R.vs = [((F(i) * R.deltv - (F(501) * R.deltv) / F(2)) + R.deltv / F(2)) * F(100) for i in range(501)]
        if dbg >= 2:
            OUT.line("")
            free(" DELTEN =", Real(R.delten))
            free(" DELTV =", Real(R.deltv))
    ensemble(R)
    simulate(R)


def ensemble(R):
    m = R.m
    dbg = state["debug"]
    kT = R.kbtsq
    nparti = [0] * 5
    if R.nvinit < 2:
        nparti[1] = R.npart
    else:
        pvtot = F(0)
        for iv in range(1, R.nvinit + 1):
            pvtot = pvtot + powf(m.MEFF[iv], F(1.5)) * expf(-(m.ENVAL[iv] - m.ENEXTR) / kT)
        npartr = 0
        for iv in range(1, R.nvinit + 1):
            v = ((F(R.npart) * powf(m.MEFF[iv], F(1.5))) * expf(-(m.ENVAL[iv] - m.ENEXTR) / kT)) / pvtot
            nparti[iv] = int(v)
            npartr += nparti[iv]
        nparti[R.nvinit] += R.npart - npartr
    OUT.line("")
    free("   Il y aura initialement :")
    for iv in range(1, R.nvinit + 1):
        OUT.line(" " * 5 + fI(nparti[iv], 5) + " particules dans la vallee no" + fI(iv, 2))
    dxmin = sqrtf(F(1e-8) / kT)
    bol = F(0)
    IP = 0
    R.EN = [F(0)] * (R.npart + 1)
    R.WX = [F(0)] * (R.npart + 1)
    R.WY = [F(0)] * (R.npart + 1)
    R.WZ = [F(0)] * (R.npart + 1)
    R.XX = [F(0)] * (R.npart + 1)
    R.XY = [F(0)] * (R.npart + 1)
    R.XZ = [F(0)] * (R.npart + 1)
    R.NV = [0] * (R.npart + 1)
    for iv in range(1, R.nvinit + 1):
        ipv = 0
        for _ in range(nparti[iv]):
            IP += 1
            ipv += 1
            xi = F(0)
            xf = sqrtf(m.ENMAX[iv] / kT)
            x = (xi + xf) / F(2)
            r01 = alea(1)
            while True:
                if xf - xi < dxmin:
                    break
                fx = erff(x) - (DSRPI * x) * expf(-(x * x))
                if fx > r01:
                    xf = x
                if fx < r01:
                    xi = x
                if fx == r01:
                    break
                x = (xi + xf) / F(2)
            E = kT * (x * x)
            R.EN[IP] = E
            bol = bol + E
            R.NV[IP] = iv
            r02 = alea(2)
            r03 = alea(3)
            ct = F(1) - F(2) * r02
            st = sqrtf(F(1) - ct * ct)
            phi = DPI * r03
            cp = cosf(phi)
            sp = sinf(phi)
            bb = sqrtf((DQSM * E) * (m.ALP[iv] * E + F(1)))
            b1 = (bb * st) * cp
            b2 = (bb * st) * sp
            b3 = bb * ct
            fo = m.IFORV[iv]
            if fo == 0:
                s = sqrtf(m.MEFF[iv])
                R.WX[IP], R.WY[IP], R.WZ[IP] = b1 * s, b2 * s, b3 * s
            elif fo == 1:
                R.WX[IP], R.WY[IP], R.WZ[IP] = b3 * sqrtf(m.ML[iv]), b1 * sqrtf(m.MT[iv]), b2 * sqrtf(m.MT[iv])
            elif fo == 2:
                R.WX[IP], R.WY[IP], R.WZ[IP] = b2 * sqrtf(m.MT[iv]), b3 * sqrtf(m.ML[iv]), b1 * sqrtf(m.MT[iv])
            elif fo == 3:
                R.WX[IP], R.WY[IP], R.WZ[IP] = b1 * sqrtf(m.MT[iv]), b2 * sqrtf(m.MT[iv]), b3 * sqrtf(m.ML[iv])
            if 5 <= dbg < 100:
                OUT.line("")
                free("$$$ PARTICULE NO ", IP, "  ETAT INITIAL:")
                free("   EN,WX,WY,WZ,NV=", R.EN[IP], R.WX[IP], R.WY[IP], R.WZ[IP], R.NV[IP])
        if dbg >= 3:
            free(" vallee no ", iv, "   IPV = ", ipv)
    if IP != R.npart:
        free(" Initialisation des coordonnees des particules:", " IO >< NPART")
        free("    IO, NPART = ", IP, R.npart)
        finish(2)
    OUT.line("")
    free(" Initialisation des coordonnees des particules OK")
    OUT.line("")
    bol = (bol * F(1000)) / F(R.npart)
    OUT.line("")
    OUT.line(" " + "  Energie moyenne initiale= " + fF(bol, 6, 2) + " meV")
    OUT.line("")


class Stop(Exception):
    def __init__(self, code):
        self.code = code


def finish(code):
    raise Stop(code)


def masses(m, nv):
    fo = m.IFORV[nv]
    if fo == 0:
        return m.MEFF[nv], m.MEFF[nv], m.MEFF[nv]
    if fo == 1:
        return m.ML[nv], m.MT[nv], m.MT[nv]
    if fo == 2:
        return m.MT[nv], m.ML[nv], m.MT[nv]
    if fo == 3:
        return m.MT[nv], m.MT[nv], m.ML[nv]
    return None


class P:  # the current-particle record and the flight working values
    pass


E_ = P()
E_.IP = 0
E_.ICEL = 0
for _n in ("ENI", "ENF", "WXI", "WXF", "WYI", "WYF", "WZI", "WZF", "MXI", "MXF", "MYI", "MYF",
           "MZI", "MZF", "TR", "TRV", "vxi", "vyi", "vzi", "vxf", "vyf", "vzf", "xxi", "xyi", "xzi",
           "xxf", "xyf", "xzf", "varx", "vxxion1", "vxxion2", "vxmion1", "vxmion2"):
    setattr(E_, _n, F(0))
E_.NVI = E_.NVF = 0
INTER = {"INTERION": 0, "NBINTER": 0, "popsi": F(0), "enii": F(0)}

HEADERS = {1: "********** INTER : Impuretes", 2: "********** INTER : Acoustiques",
           3: "********** INTER : Piezoelectriques", 4: "********** INTER : OPL emission",
           5: "********** INTER : OPL absorption", 6: "********** INTER : ONP emission",
           7: "********** INTER: ONP absorption", 8: "********** INTER : Intervallee ordre 0 emission",
           9: "********** INTER : Intervallee ordre 0 absorption",
           10: "********** INTER : Intervallee ordre 1 emission",
           11: "********** INTER : Intervallee ordre 1 absorption", 12: "********** INTER : Alliage",
           13: "********** INTER : Surface", 14: "********** INTER : Recombinaison",
           15: "********** INTER : Ionisation", 16: "********** INTER : Self-scattering"}


ENDLESS = 2000000  # consecutive redraws of one event, or cancelled flights of one particle


def endless(title, ip, iv, energy, what, count):
    free(title)
    free(" particule no", ip)
    free(" vallee no", iv)
    free(" energie =", energy)
    free(what, count)
    finish(2)


def inter(m):
    e = E_
    dbg = state["debug"]
    redraws = 0
    while True:
        if redraws >= ENDLESS:
            endless("Erreur : absorption refusee a chaque tirage", e.IP, e.NVF, e.ENF, " tirages =", redraws)
        redraws += 1
        ir = 1
        ie01 = int(e.ENF / m.DELTAE + F(1.0))
        if ie01 > m.NEN[e.NVF]:
            free("Erreur : index d'energie hors table")
            free(" particule no", e.IP)
            free(" vallee no", e.NVF)
            free(" energie =", e.ENF)
            free(" index =", ie01)
            free(" NEN =", m.NEN[e.NVF])
            finish(2)
        nd01 = m.IDOM[e.NVF][ie01]
        r09 = alea(9)
        NDRAW[9] += 1
        ilamb = 0
        for k in range(1, 41):
            lam = m.IORDL[e.NVF][nd01][k]
            if lam == 0:
                continue
            if m.RLAM[m.IPLAM[e.NVF][lam] + ie01] >= r09:
                nk01, ilamb = k, lam
                break
        if ilamb == 0:
            order = [m.IORDL[e.NVF][nd01][k] for k in range(1, 41)]
            free("Erreur trilamb : ")
            free("cellule no ", e.ICEL, " materiau no ", ir)
            free("particule no ", e.IP)
            free("ENF,DEN =", e.ENF, m.DELTAE)
            free("Index energie = ", ie01)
            free("Tirage au sort : ", r09)
            free("Domaine no = ", nd01)
            free("Ordre des lambdas dans le domaine : ")
            free(*order)
            free("Index des lambdas pour ce domaine :")
            free(*[m.IPLAM[e.NVF][lam] if lam else 0 for lam in order])
            free("RL possibles/ cette energie =")
            free(*[m.RLAM[m.IPLAM[e.NVF][lam] + ie01] if lam else F(0) for lam in order])
            free("RLTOT a cette energie = ", m.RLTOT[m.IPTOT[e.NVF] + ie01])
            finish(2)
        code = ITYPL[e.NVF][ilamb]
        INTER["INTERION"] = code
        name = dgsr40(m.NOMLAM[e.NVF][ilamb])
        if 10 <= dbg <= 99:
            free("****** Interaction :")
            free("Nom en clair de ce lambda: ", name)
        m.NBLAM[e.NVF][ilamb] += 1
        if not 1 <= code <= 16:
            free("Lambda inconnu")
            free("maillle no ", e.ICEL, " materiau no ", ir)
            free("ENF,DEN =", e.ENF, m.DELTAE)
            free("Index energie = ", ie01)
            free("Domaine no = ", nd01)
            free("Tirage au sort : ", r09)
            free("No d'ordre du lambda =", nk01)
            free("No du lambda = ", ilamb)
            finish(2)
        traced = dbg > 100 and e.IP == dbg - 100
        ipho = 0

        def trace():
            if not traced:
                return
            free(HEADERS[code])
            free("cellule no ", e.ICEL, " materiau no ", ir)
            free("ENF,DEN =", e.ENF, m.DELTAE)
            if code <= 11:
                free("NVF,NVI=", e.NVF, e.NVI)
            if 8 <= code <= 11:
                free("phonon no", ipho)
            free("Index energie = ", ie01)
            free("Domaine no = ", nd01)
            free("Tirage au sort : ", r09)
            free("No d'ordre du lambda =", nk01)
            free("No du lambda = ", ilamb)
            free("Nom en clair de ce lambda: ", name)
            free("No du type d'interaction correspondant: ", ITYPL[e.NVF][ilamb])

        def clamp():
            if e.ENI < F(1.0e-5):
                e.ENI = F(1.0e-5)

        def reject(limit_valley, with_trace):
            if e.ENI > m.ENMAX[limit_valley] - F(10) * m.DELTAE:
                INTER["popsi"] = INTER["popsi"] + F(1.0)
                INTER["enii"] = e.ENI
                if with_trace and dbg >= 4:
                    free("POPSI,ITPORT,IX,IY,IZ,ENI ", INTER["popsi"], RUN.ITPORT, 0, 0, 0, INTER["enii"])
                    if code == 5:
                        free("OPLA, VALLEE ", e.NVF, " MATERIAU ", ir)
                return True
            return False

        if code in (1, 2, 12):
            e.NVI = m.NVFL[e.NVF][ilamb]
            trace()
            e.ENI = (e.ENF - m.ENVAL[e.NVI]) + m.ENVAL[e.NVF]
            clamp()
            iso(m)
            return
        if code == 3:
            e.NVI = e.NVF
            trace()
            e.ENI = e.ENF
            iso(m)
            return
        if code in (4, 5):
            e.NVI = e.NVF
            trace()
            if code == 4:
                e.ENI = e.ENF - m.HWOPL
            else:
                e.ENI = e.ENF + m.HWOPL
                if reject(e.NVF, True):
                    continue
            clamp()
            polar(m, ie01, nd01, r09, nk01, ilamb, name)
            return
        if code in (6, 7):
            e.NVI = m.NVFL[e.NVF][ilamb]
            trace()
            if code == 6:
                e.ENI = ((e.ENF - m.HWONP) - m.ENVAL[e.NVI]) + m.ENVAL[e.NVF]
            else:
                e.ENI = ((e.ENF + m.HWONP) - m.ENVAL[e.NVI]) + m.ENVAL[e.NVF]
                if reject(e.NVI, False):
                    continue
            clamp()
            iso(m)
            return
        if 8 <= code <= 11:
            e.NVI = m.NVFL[e.NVF][ilamb]
            ipho = m.IPHOL[e.NVF][ilamb]
            trace()
            hw = m.HWIV0 if code <= 9 else m.HWIV1
            if code in (8, 10):
                e.ENI = e.ENF - hw[e.NVI][e.NVF][ipho]
            else:
                e.ENI = e.ENF + hw[e.NVF][e.NVI][ipho]
                if reject(e.NVI, True):
                    continue
            clamp()
            iso(m)
            return
        if code in (13, 14, 16):
            e.NVI = e.NVF
            trace()
            e.ENI = e.ENF
            e.WXI, e.WYI, e.WZI = e.WXF, e.WYF, e.WZF
            e.MXI, e.MYI, e.MZI = e.MXF, e.MYF, e.MZF
            if code == 16:
                INTER["NBINTER"] += 1
            return
        if code == 15:
            e.NVI = e.NVF
            trace()
            x = e.ENF - m.ENGAP
            r11 = alea(11)
            e.ENI = r11 * x
            if e.ENI < m.DELTAE / F(2):
                e.ENI = m.DELTAE / F(2)
            iso(m)
            return


def iso(m):
    e = E_
    r02 = alea(2)
    NDRAW[2] += 1
    ct = F(1) - F(2) * r02
    st = sqrtf(F(1) - ct * ct)
    r03 = alea(3)
    NDRAW[3] += 1
    phi = DPI * r03
    wp = sqrtf((DQSM * e.ENI) * (F(1) + m.ALP[e.NVI] * e.ENI))
    d1 = (wp * st) * cosf(phi)
    d2 = (wp * st) * sinf(phi)
    d3 = wp * ct
    nv = e.NVI
    fo = m.IFORV[nv]
    if fo == 0:
        s = sqrtf(m.MEFF[nv])
        e.WXI, e.WYI, e.WZI = d1 * s, d2 * s, d3 * s
    elif fo == 1:
        e.WXI, e.WYI, e.WZI = d3 * sqrtf(m.ML[nv]), d1 * sqrtf(m.MT[nv]), d2 * sqrtf(m.MT[nv])
    elif fo == 2:
        e.WXI, e.WYI, e.WZI = d2 * sqrtf(m.MT[nv]), d3 * sqrtf(m.ML[nv]), d1 * sqrtf(m.MT[nv])
    elif fo == 3:
        e.WXI, e.WYI, e.WZI = d1 * sqrtf(m.MT[nv]), d2 * sqrtf(m.MT[nv]), d3 * sqrtf(m.ML[nv])
    ms = masses(m, nv)
    if ms:
        e.MXI, e.MYI, e.MZI = ms


def polar(m, ie01, nd01, r09, nk01, ilamb, name):
    e = E_
    A = ((e.ENI + e.ENF) / F(2)) / sqrtf(e.ENI * e.ENF)
    r02 = alea(2)
    NDRAW[2] += 1
    ct = A - (A - F(1)) * powf((A + F(1)) / (A - F(1)), r02)
    wp = sqrtf(((DQSM * m.MEFF[e.NVI]) * e.ENI) * (F(1) + m.ALP[e.NVF] * e.ENI))
    if m.IFORV[e.NVI] != 0:
        free("INTER: interaction anisotrope dans vallee non spherique")
        free("cellule no ", e.ICEL, " materiau no ", 1)
        free("ENF,DEN =", e.ENF, m.DELTAE)
        free("vallee arrivee", e.NVI, " de forme ", m.IFORV[e.NVI])
        free("Index energie = ", ie01)
        free("Domaine no = ", nd01)
        free("Tirage au sort : ", r09)
        free("No d'ordre du lambda =", nk01)
        free("No du lambda = ", ilamb)
        free("Nom en clair de ce lambda", name)
        free("No du type d'interaction correspondant", ITYPL[e.NVF][ilamb])
        finish(2)
    r03 = alea(3)
    NDRAW[3] += 1
    phi = DPI * r03
    st = sqrtf(F(1) - ct * ct)
    cp = cosf(phi)
    sp = sinf(phi)
    W = sqrtf((e.WXF * e.WXF + e.WYF * e.WYF) + e.WZF * e.WZF)
    rho = sqrtf(e.WXF * e.WXF + e.WZF * e.WZF)
    if rho == 0:
        e.WXI = (wp * st) * cp
        e.WYI = wp * ct
        if e.WYF < 0:
            e.WYI = -e.WYI
        e.WZI = (wp * st) * sp
        return
    t = (ct * rho) / W + ((st * cp) * e.WYF) / W
    e.WXI = wp * ((t * e.WXF) / rho + ((st * sp) * e.WZF) / rho)
    e.WYI = wp * ((ct * e.WYF) / W - ((st * cp) * rho) / W)
    e.WZI = wp * ((t * e.WZF) / rho - ((st * sp) * e.WXF) / rho)


RUN = None


def stage(n, R):
    e = E_
    titles = {0: "0 - coordonnees initiales:", 3: "3 - coordonnees apres interaction:",
              4: "4 - coordonnees finales:"}
    free(titles[n])
    free(" NVI=", e.NVI, "   ENI=", e.ENI)
    free(" WXI=", e.WXI, "   WYI=", e.WYI, "   WZI=", e.WZI)
    free(" VXI=", e.vxi, "   VYI=", e.vyi, "   VZI=", e.vzi)
    free(" MXI=", e.MXI, "   MYI=", e.MYI, "   MZI=", e.MZI)
    free(" XXI=", e.xxi, "   XYI=", e.xyi, "   XZI=", e.xzi)


def move(R, IP):
    m = R.m
    e = E_
    dbg = state["debug"]
    e.IP = IP
    traced = dbg == IP + 100
    e.vxxion1 = F(0)
    e.vxxion2 = F(0)
    if dbg >= 3:
        OUT.line("")
        free("*** boucle sur les particules")
    if traced:
        free("--------------------------")
        free("  particule no ", IP)
    e.NVI = R.NV[IP]
    ms = masses(m, e.NVI)
    if ms:
        e.MXI, e.MYI, e.MZI = ms
    e.ENI, e.WXI, e.WYI, e.WZI = R.EN[IP], R.WX[IP], R.WY[IP], R.WZ[IP]

    def vel_i():
        a = m.ALP[e.NVI]
        e.vxi = (e.WXI / e.MXI) / ((a * F(2)) * e.ENI + F(1))
        e.vyi = (e.WYI / e.MYI) / ((a * F(2)) * e.ENI + F(1))
        e.vzi = (e.WZI / e.MZI) / ((a * F(2)) * e.ENI + F(1))

    vel_i()
    e.xxi, e.xyi, e.xzi = R.XX[IP], R.XY[IP], R.XZ[IP]
    if traced:
        stage(0, R)
    e.TR = R.dt if (R.STAT == 0 and R.neq == 1) else R.tcal
    if traced:
        free("TR= ", e.TR)
    linter = 0
    cancelled = 0  # consecutive cancelled flights
    while True:
        ien = int(e.ENI / m.DELTAE + F(1))
        if ien > m.NEN[e.NVI]:
            free("Erreur : index d'energie hors table")
            free(" particule no", IP)
            free(" vallee no", e.NVI)
            free(" energie =", e.ENI)
            free(" index =", ien)
            free(" NEN =", m.NEN[e.NVI])
            finish(2)
        r04 = alea(4)
        rlt = m.RLTOT[m.IPTOT[e.NVI] + ien]
        tv = logf(r04) * rlt
        if tv > e.TR:
            e.TRV = e.TR
            linter = 0
        else:
            e.TRV = tv
            linter = 1
        if traced:
            free("1 - coordonnees avant vol libre:")
            free("  TR=", e.TR)
            free(" RLT3D=", rlt)
            free(" NVI=", e.NVI, "   ENI=", e.ENI, "    TR=", e.TR)
            free(" WXI=", e.WXI, "   WYI=", e.WYI, "   WZI=", e.WZI)
            free(" VXI=", e.vxi, "   VYI=", e.vyi, "   VZI=", e.vzi)
            free(" MXI=", e.MXI, "   MYI=", e.MYI, "   MZI=", e.MZI)
            free(" R04=", r04, "    TV= ", tv, "   TRV= ", e.TRV)
            free(" XXI=", e.xxi, "   XYI=", e.xyi, "   XZI=", e.xzi)
        a = m.ALP[e.NVI]
        e.WXF = e.WXI + R.qexsm * e.TRV if R.ex > F(100) else e.WXI
        e.WYF = e.WYI + R.qeysm * e.TRV if R.ey > F(100) else e.WYI
        e.WZF = e.WZI + R.qezsm * e.TRV if R.ez > F(100) else e.WZI
        e.NVF = e.NVI
        e.MXF, e.MYF, e.MZF = e.MXI, e.MYI, e.MZI
        wsrm2 = ((e.WXF * e.WXF) / e.MXF + (e.WYF * e.WYF) / e.MYF) + (e.WZF * e.WZF) / e.MZF
        if a == 0:
            e.ENF = wsrm2 / DQSM
        else:
            e.ENF = (F(0.5) / a) * (sqrtf(((a * F(4)) * wsrm2) / DQSM + F(1)) - F(1))
        if R.exn > F(1e-5):
            e.xxf = e.xxi + (e.ENF - e.ENI) / R.exn
            e.varx = e.xxf - e.xxi
        else:
            e.xxf = e.xxi
        if R.eyn > F(1e-5):
            e.xyf = e.xyi + (e.ENF - e.ENI) / R.eyn
        else:
            e.xyf = e.xyi
        if R.ezn > F(1e-5):
            e.xzf = e.xzi + (e.ENF - e.ENI) / R.ezn
        else:
            e.xzf = e.xzi
        if traced:
            d = (a * F(2)) * e.ENF + F(1)
            vx, vy, vz = (e.WXF / e.MXF) / d, (e.WYF / e.MYF) / d, (e.WZF / e.MZF) / d
            free("2 - coordonnees apres vol libre:")
            free(" NVF=", e.NVF, "   ENF=", e.ENF)
            free(" WXF=", e.WXF, "   WYF=", e.WYF, "   WZF=", e.WZF)
            free(" VXF=", vx, "   VYF=", vy, "   VZF=", vz)
            free(" MXF=", e.MXF, "   MYF=", e.MYF, "   MZF=", e.MZF)
            free(" XXF=", e.xxf, "   XYF=", e.xyf, "   XZF=", e.xzf)
        if e.ENF < F(1e-8):
            e.ENF = F(1e-8)
        if e.ENF >= m.ENMAX[e.NVI] - m.DELTAE / F(2):
            R.nlim += 1
            cancelled += 1
            if cancelled >= ENDLESS:
                endless("Erreur : vol annule a chaque essai", IP, e.NVI, e.ENI, " vols annules =", cancelled)
            e.WXF, e.WYF, e.WZF, e.ENF = e.WXI, e.WYI, e.WZI, e.ENI
            e.vxf, e.vyf, e.vzf = e.vxi, e.vyi, e.vzi
            e.xxf, e.xyf, e.xzf = e.xxi, e.xyi, e.xzi
            if traced:
                free("  !!! Mouvement annule, interaction")
        else:
            cancelled = 0
            d = (a * F(2)) * e.ENF + F(1)
            e.vxf = (e.WXF / e.MXF) / d
            e.vyf = (e.WYF / e.MYF) / d
            e.vzf = (e.WZF / e.MZF) / d
            e.vxxion1 = e.varx
            e.vxxion2 = e.varx
            e.TR = e.TR - e.TRV
        if e.vxxion2 != 0:
            e.vxmion2 = e.vxmion2 + F(1) / e.vxxion2
        e.vxmion1 = e.vxmion1 + e.vxxion1
        if linter == 0:
            break
        inter(m)
        R.ninter += 1
        if INTER["INTERION"] == 15:
            R.nion += 1
            R.nionv[e.NVI] += 1
            if traced:
                free(" ZOT: ionisation detectee, NION = ", R.nion)
            e.varx = F(0)
            e.vxxion1 = F(0)
            e.vxxion2 = F(0)
        linter = 0
        if traced:
            vel_i()
            stage(3, R)
            OUT.line("")
            free("    Nouveau mouvement")
    e.ENI = e.ENF
    e.WXI, e.WYI, e.WZI = e.WXF, e.WYF, e.WZF
    e.MXI, e.MYI, e.MZI = e.MXF, e.MYF, e.MZF
    e.vxi, e.vyi, e.vzi = e.vxf, e.vyf, e.vzf
    e.xxi, e.xyi, e.xzi = e.xxf, e.xyf, e.xzf
    if R.npart == 1 and R.noise is not None:
        R.noise.write(struct.pack("=id", 8, float(e.vxi)) + struct.pack("=i", 8))
    if traced:
        OUT.line("")
        free("  *** TR epuise")
        OUT.line("")
    # per-particle accumulation
    R.enm = R.enm + e.ENI
    R.entm = R.entm + ((e.ENI + m.ENVAL[e.NVI]) - m.ENEXTR)
    R.wxm = R.wxm + e.WXI
    R.wym = R.wym + e.WYI
    R.wzm = R.wzm + e.WZI
    R.vxm = R.vxm + e.vxi
    R.vym = R.vym + e.vyi
    R.vzm = R.vzm + e.vzi
    R.nppv[e.NVI] += 1
    R.enpv[e.NVI] = R.enpv[e.NVI] + e.ENI
    R.vxmion2m = R.vxmion2m + e.vxmion2 * F(1e-7)
    R.vxmion1m = R.vxmion1m + e.vxmion1 * F(1e-7)
    e.vxmion2 = e.vxmion1 = e.vxxion1 = e.vxxion2 = F(0)
    if R.STAT == 0 and R.neq == 1:
        R.endyn = R.endyn + e.ENI
        if dbg >= 4:
            free("  nouveau ENDYN:", R.endyn)
            free("  nouveau XPDYN:", R.xpdyn)
    if R.STAT != 0 and R.lequi == 1 and R.ispec == 1:
        ienv = int(e.ENI / R.delten)
        if 0 <= ienv <= 500:
            R.spenv[e.NVI][ienv] += F(1)
        ent = (e.ENI + m.ENVAL[e.NVI]) - m.ENVAL[1]
        if ent < 0:
            free(" PB: ENT<0  ---   ENT = ", ent)
            free(" eni,nvi,enval,enextr=", e.ENI, e.NVI, m.ENVAL[e.NVI], m.ENEXTR)
            finish(2)
        ient = int(ent / R.delten)
        if 0 <= ient <= 500:
            R.spent[ient] += F(1)
        if R.champ != 0:
            vxe = ((e.vxi * R.ex + e.vyi * R.ey) + e.vzi * R.ez) / R.champ
            q = (vxe + (R.deltv * F(501)) / F(2)) / R.deltv
            if np.isfinite(q) and -1 < float(q) < 501:
                ivit = int(q)
                R.spvit[e.NVI][ivit] += F(1)
    R.EN[IP], R.WX[IP], R.WY[IP], R.WZ[IP] = e.ENI, e.WXI, e.WYI, e.WZI
    R.NV[IP] = e.NVI
    R.XX[IP], R.XY[IP], R.XZ[IP] = e.xxi, e.xyi, e.xzi
    if traced:
        stage(4, R)


def dynamic_line(R):
    """One line of the dynamic-run file after a time step (velocities still in m/s)."""
    R.tdyn = R.tdyn + (R.dt if R.neq == 1 else R.tcal)
    pos = vel = F(0)
    if R.champ != 0:
        tot = F(0)
        for i in range(1, R.npart + 1):
            tot = tot + ((R.XX[i] * R.ex + R.XY[i] * R.ey) + R.XZ[i] * R.ez) / R.champ
        pos = (tot / F(R.npart)) * F(100)
        vel = (((R.vxm * R.ex + R.vym * R.ey) + R.vzm * R.ez) / R.champ) * F(100)
    if R.dyn:
        fields = (ff_real(v) for v in (R.tdyn * F(1e12), pos, R.enm, R.entm, vel))
        R.dyn.write(" " + "".join(f if f == "  0." else " " + f for f in fields) + "\n")


def simulate(R):
    global RUN
    RUN = R
    m = R.m
    dbg = state["debug"]
    R.noise = None
    if R.npart == 1:
        R.noise = open_output("bruit", "wb")
    R.qexs2m = (QS6M * F(3)) * R.ex
    R.qeys2m = (QS6M * F(3)) * R.ey
    R.qezs2m = (QS6M * F(3)) * R.ez
    R.qexsm = R.qexs2m * F(2)
    R.qeysm = R.qeys2m * F(2)
    R.qezsm = R.qezs2m * F(2)
    if dbg >= 2:
        free("QEXSM,QEYSM,QEZSM = ", R.qexsm, R.qeysm, R.qezsm)
    nva = m.NVA
    R.tcal = R.tcali
    R.tcalt = F(0)
    R.nlim = R.ninter = R.nion = 0
    R.sninter = R.snlim = R.snself = 0
    INTER["NBINTER"] = 0
    for n in ("frlxmx", "frlxmy", "frlxmz", "frlxen", "fenm", "fentm", "fvxm", "fvym", "fvzm",
              "fmobil", "fninter", "fnion", "fnlim", "fnself", "fcoeffionx1", "fcoeffionx2"):
        setattr(R, n, F(0))
    R.fnppv = [F(0)] * 5
    R.fenpv = [F(0)] * 5
    R.fnionv = [F(0)] * 5
    R.nionv = [0] * 5
    R.lequi = 0
    R.nppv = [0] * 5
    R.enpv = [F(0)] * 5
    R.spent = [F(0)] * 501
    R.spenv = [[F(0)] * 501 for _ in range(5)]
    R.spvit = [[F(0)] * 501 for _ in range(5)]
    R.xpdyn = F(0)
    R.endyn = F(0)
    if R.STAT != 0:
        R.neq = 0
    else:
        if R.ei == 0:
            R.tcal = R.dt * F(R.ndt)
            R.neq = 1
            for i in range(1, R.npart + 1):
                nv = R.NV[i]
                if R.dec != 0:
                    R.EN[i] = R.dec + R.EN[i]
                    en = R.EN[i]
                    R.WX[i] = sqrtf((((((m.MEFF[nv] * F(2)) / XM0) * QE) * en) * (m.ALP[nv] * en + F(1))
                                     - R.WY[i] * R.WY[i]) - R.WZ[i] * R.WZ[i])
                if dbg == i + 100:
                    free(" eni=", R.EN[i], "   wxi=", R.WX[i])
                    free(" wyi=", R.WY[i], "   wzi=", R.WZ[i])
                    free(" alp=", m.ALP[nv], "   meff=", m.MEFF[nv])
        else:
            R.tcal = F(0)
            R.neq = 0
        R.dyn = open_output(R.fildes, "w")
        if R.dyn:
            R.dyn.write(" temps(ps) position(nm) energie(ev) en.tot(ev) vitesse(cm/s)\n")
    R.tdyn = F(0)
    idteq = 0
    while True:
        R.nppv = [0] * 5
        R.enpv = [F(0)] * 5
        R.enm = R.entm = R.wxm = R.wym = R.wzm = R.vxm = R.vym = R.vzm = F(0)
        R.vxmion1m = R.vxmion2m = R.coeffionx1 = R.coeffionx2 = F(0)
        R.nion = 0
        R.nionv = [0] * 5
        R.endyn = F(0)
        for IP in range(1, R.npart + 1):
            move(R, IP)
        R.tcalt = R.tcalt + R.tcal
        fn = F(R.npart)
        R.enm, R.entm = R.enm / fn, R.entm / fn
        R.wxm, R.wym, R.wzm = R.wxm / fn, R.wym / fn, R.wzm / fn
        R.vxm, R.vym, R.vzm = R.vxm / fn, R.vym / fn, R.vzm / fn
        if R.nion == 0:
            R.vxmion1m = R.vxmion2m = R.coeffionx1 = R.coeffionx2 = F(0)
        else:
            R.vxmion2m = R.vxmion2m / F(R.nion)
            R.coeffionx2 = R.vxmion2m
            R.vxmion1m = R.vxmion1m / F(R.nion)
            R.coeffionx1 = (F(1) / R.vxmion1m) / F(100)
        for iv in range(1, nva + 1):
            R.enpv[iv] = R.enpv[iv] / F(R.nppv[iv]) if R.nppv[iv] != 0 else F(0)
        if R.STAT == 0:
            dynamic_line(R)
        evm = (R.ex * R.vxm + R.ey * R.vym) + R.ez * R.vzm
        rlxen = (R.enm - R.eth) / evm if evm != 0 else F(0)
        k = XM0 / QE
        rlxmx = (k / R.ex) * R.wxm if R.ex != 0 else F(0)
        rlxmy = (k / R.ey) * R.wym if R.ey != 0 else F(0)
        rlxmz = (k / R.ez) * R.wzm if R.ez != 0 else F(0)
        a = rlxmx if rlxmx >= rlxmy else rlxmy
        rlxm = a if a >= rlxmz else rlxmz
        prl = lambda v: v * F(1e12)
        if R.lequi == 0:
            trlx = rlxm * F(R.nfrlx)
            trlx = trlx if trlx <= F(1e-10) else F(1e-10)
            trlx = trlx if trlx >= R.tcal else R.tcal
            if dbg >= 3:
                OUT.line("")
                free(" *** Phase de mise a l'equilibre ***")
                OUT.line("")
                free("  temps total simule (en s) : ", R.tcalt)
                free("  ENM=", R.enm, "  WXM=", R.wxm, "  WYM=", R.wym, "  WZM=", R.wzm)
                free("  EVM=", evm, "  VXM=", R.vxm, "  VYM=", R.vym, "  VZM=", R.vzm)
                free("  RLXMX =", rlxmx, " s", "   RLXMY =", rlxmy, " s", "   RLXMZ =", rlxmz, " s")
                free("  RLXM =", rlxm, " s", "   RLXEN =", rlxen, " s")
                free("  TRLX =", trlx, " s")
            if R.tcalt < trlx:
                R.tcal = R.tcali
                if dbg >= 3:
                    free("TRLX > TCALT => l'equilibre n'est pas atteint")
                    free("    on repart pour TCAL=", R.tcal, " s de simulation")
                continue
            if dbg >= 3:
                free("   TRLX < TCALT => l'equilibre est atteint")
            pnself = F(INTER["NBINTER"]) / F(R.ninter) * F(100) if R.ninter != 0 else F(0)
            OUT.line("")
            OUT.line("     ***** Ex =" + fF(R.ex * F(1e-5), 8, 3) + " kV/cm   Ey =" + fF(R.ey * F(1e-5), 8, 3)
                     + " kV/cm   Ez =" + fF(R.ez * F(1e-5), 8, 3) + " kV/cm *****")
            OUT.line("")
            OUT.line("")
            OUT.line(" 1) Mise a l'equilibre")
            OUT.line("    ===================")
            OUT.line("")
            OUT.line("      Duree de la mise a l'equilibre =" + fF(prl(R.tcalt), 6, 3) + " ps")
            OUT.line("      Temps de relaxation des moments (ps) = " + "".join(
                fF(prl(v), 6, 3) + " " for v in (rlxmx, rlxmy, rlxmz)))
            OUT.line("      Temps de relaxation de l'energie (ps) = " + fF(prl(rlxen), 8, 3))
            OUT.line("       --> les moyennes seront calculees sur " + fF(prl(R.tcal), 7, 3) + " ps")
            for start in range(1, nva + 1, 3):
                OUT.line("      Repartition par vallees : " + "".join(
                    fI(R.nppv[iv], 6) for iv in range(start, min(start + 2, nva) + 1)))
            OUT.line("      Nombre de self-scattering = " + fI(INTER["NBINTER"], 9) + " (" + fF(pnself, 6, 2) + " 0/0)")
            OUT.line("      Nombre de depassement d'energie = " + fI(R.nlim, 7))
            OUT.line("")
            free("     Nombre ionisations = ", 0)
            free("     VXMION1M = ", R.vxmion1m)
            free("     VXMION2M = ", R.vxmion2m)
            free("     COEFFIONX1 = ", F(0))
            free("     COEFFIONX2 = ", F(0))
            R.nion = 0
            R.ninter = 0
            INTER["NBINTER"] = 0
            R.nlim = 0
            R.lequi = 1
            t1 = (rlxm if rlxm >= rlxen else rlxen) * F(R.nfrlx)
            t2 = R.dteq * F(R.ndteq)
            t3 = t1 if t1 >= t2 else t2
            t4 = t3 if t3 <= R.tcalm else R.tcalm
            R.ndteq = int(t4 / R.dteq)
            R.tcal = R.dteq
            OUT.line("      Nombre de DTEQ a effectuer = " + fI(R.ndteq, 3))
            OUT.line("")
            idteq = 1
            for iv in range(1, 5):
                for kk in range(1, 41):
                    m.NBLAM[iv][kk] = 0
            continue
        # stationary step
        if R.champ > 0:
            mobil = (((R.vxm * R.ex + R.vym * R.ey) + R.vzm * R.ez)
                     / ((R.ex * R.ex + R.ey * R.ey) + R.ez * R.ez)) * F(1e4)
        else:
            mobil = F(0)
        R.vxm, R.vym, R.vzm = R.vxm * F(100), R.vym * F(100), R.vzm * F(100)
        R.vxmion2m = R.vxmion2m * F(0.01)
        R.vxmion1m = R.vxmion1m * F(100)
        pnself = F(INTER["NBINTER"]) / F(R.ninter) * F(100) if R.ninter != 0 else F(0)
        if idteq == 1:
            OUT.line("")
            OUT.line(" 2) Regime stationnaire")
            OUT.line("    ===================")
            OUT.line("")
        if R.npart > 1:
            OUT.line("")
            OUT.line("      Pas de temps DTEQ no " + fI(idteq, 3))
            OUT.line("      Moyennes calculees durant " + fF(prl(R.tcal), 6, 3) + " ps")
            OUT.line("      Temps de relaxation des moments [ps] = " + "".join(
                fF(prl(v), 6, 3) + " " for v in (rlxmx, rlxmy, rlxmz)))
            OUT.line("      Temps de relaxation de l'energie [ps] = " + fF(prl(rlxen), 9, 3))
            OUT.line("      Energie cinetique moyenne = " + fF(R.enm, 6, 4) + " eV")
            OUT.line("      Energie totale moyenne = " + fF(R.entm, 6, 4) + " eV")
            OUT.line("")
            OUT.line("")
            OUT.line("      Coeff d'ionisat par impact2 [1/cm] = " + fE(R.coeffionx2, 12, 5, True))
            OUT.line("      Coeff d'ionisat par impact1 [1/cm] = " + fE(R.coeffionx1, 12, 5, True))
            OUT.line("")
            OUT.line("      Energie cinetique par vallee [eV] = " + "".join(
                fF(R.enpv[iv], 6, 4) + "  " for iv in range(1, nva + 1)))
            OUT.line("      Vitesses moyennes [cm/s] = " + "".join(
                fE(v, 11, 3, True) + "  " for v in (R.vxm, R.vym, R.vzm)))
            OUT.line("      Mobilite [cm2/Vs] = " + fF(mobil, 9, 2))
            OUT.line("      Repartition par vallees : " + "".join(
                fI(R.nppv[iv], 6) + " " for iv in range(1, nva + 1)))
            OUT.line("      Nombre de self-scattering = " + fI(INTER["NBINTER"], 9) + " (" + fF(pnself, 6, 2) + " 0/0)")
            OUT.line("      Nombre de depassement d'energie = " + fI(R.nlim, 7))
            OUT.line("")
            free("                 Nombre ionisations = ", R.nion)
            free("                 Nombre ionisations par vallees =", *R.nionv[1:5])
            free("                 Valeur de VXMION2M  = ", R.vxmion2m)
            free("                 Valeur de VXMION1M  = ", R.vxmion1m)
        R.frlxmx = R.frlxmx + prl(rlxmx)
        R.frlxmy = R.frlxmy + prl(rlxmy)
        R.frlxmz = R.frlxmz + prl(rlxmz)
        R.frlxen = R.frlxen + prl(rlxen)
        R.fenm = R.fenm + R.enm
        R.fentm = R.fentm + R.entm
        R.fvxm = R.fvxm + R.vxm
        R.fvym = R.fvym + R.vym
        R.fvzm = R.fvzm + R.vzm
        R.fmobil = R.fmobil + mobil
        for iv in range(1, nva + 1):
            R.fnppv[iv] = R.fnppv[iv] + F(R.nppv[iv])
            R.fenpv[iv] = R.fenpv[iv] + R.enpv[iv]
            R.fnionv[iv] = R.fnionv[iv] + F(R.nionv[iv])
        R.sninter += R.ninter  # the stationary sums of the counts are whole numbers
        R.fnion = R.fnion + F(R.nion)
        R.fcoeffionx1 = R.fcoeffionx1 + R.coeffionx1
        R.fcoeffionx2 = R.fcoeffionx2 + R.coeffionx2
        R.snlim += R.nlim
        R.snself += INTER["NBINTER"]
        if idteq >= R.ndteq:
            break
        R.tcal = R.dteq
        idteq += 1
        R.ninter = R.nion = 0
        INTER["NBINTER"] = 0
        R.nlim = 0
    # final averages
    nd = F(idteq if idteq > R.ndteq else R.ndteq)
    for n in ("frlxmx", "frlxmy", "frlxmz", "frlxen", "fenm", "fentm", "fvxm", "fvym", "fvzm", "fmobil"):
        setattr(R, n, getattr(R, n) / nd)
    for iv in range(1, nva + 1):
        R.fenpv[iv] = R.fenpv[iv] / nd
        R.fnppv[iv] = ((R.fnppv[iv] / nd) / F(R.npart)) * F(100)
    R.fcoeffionx1 = R.fcoeffionx1 / nd
    R.fcoeffionx2 = R.fcoeffionx2 / nd
    R.fninter = F(R.sninter)
    R.fnlim = F(R.snlim)
    R.fnself = (F(R.snself) / F(R.sninter)) * F(100) if R.sninter != 0 else F(0)
    OUT.line("")
    OUT.line(" 3) Moyennes finales")
    OUT.line("    ================")
    OUT.line("      Temps de relaxation des moments [ps] = " + "".join(
        fF(v, 6, 3) + " " for v in (R.frlxmx, R.frlxmy, R.frlxmz)))
    OUT.line("      Temps de relaxation de l'energie [ps] = " + fF(R.frlxen, 9, 3))
    OUT.line("      Energie cinetique moyenne = " + fF(R.fenm, 6, 4) + " eV")
    OUT.line("      Energie totale moyenne = " + fF(R.fentm, 6, 4) + " eV")
    OUT.line("")
    OUT.line("      Energie cinetique par vallee [eV] = " + "".join(
        fF(R.fenpv[iv], 6, 4) + "  " for iv in range(1, nva + 1)))
    OUT.line("      Vitesses moyennes [cm/s] = " + "".join(
        fE(v, 11, 3, True) + "  " for v in (R.fvxm, R.fvym, R.fvzm)))
    OUT.line("      Mobilite [cm2/Vs] = " + fF(R.fmobil, 9, 2))
    OUT.line("      Repartition par vallees [o/o] : " + "".join(
        fF(R.fnppv[iv], 6, 2) + "  " for iv in range(1, nva + 1)))
    OUT.line("      Nombre total d'interactions = " + fE(R.fninter, 12, 5, True))
    OUT.line("      Nombre de self-scattering = " + fF(R.fnself, 6, 2))
    OUT.line("      Nombre de depassement d'energie = " + fF(R.fnlim, 7, 0))
    OUT.line("      Nombre total d'ionisation par impact = " + fE(R.fnion, 12, 5, True))
    OUT.line("")
    OUT.line("      Nombre d'ionisation par vallee = " + "".join(
        fE(R.fnionv[iv], 12, 5, True) + "  " for iv in range(1, nva + 1)))
    OUT.line("")
    OUT.line("Coeff d'ionisation par impact2 moyen [1/cm] = " + fE(R.fcoeffionx2, 12, 5, True))
    OUT.line("Coeff d'ionisation par impact1 moyen [1/cm] = " + fE(R.fcoeffionx1, 12, 5, True))
    OUT.line("")
    if R.noise is not None:
        R.noise.close()
        R.noise = None
    if R.STAT == 0 and R.dyn:
        R.dyn.close()
    if R.ispec == 1:
        write_spectra(R)
    OUT.line("")
    OUT.line("")
    OUT.line("")


def open_output(name, mode):
    """An output file; a failure is reported like the toolkit's open does, and None returned."""
    try:
        return open(name.rstrip(), mode)
    except OSError as exc:
        error(-7)
        line = " I/O STATUS : " + fI(exc.errno, 12) + " FICHIER : " + name
        OUT.line(" " + line.ljust(120)[:78])
        return None


def write_spectra(R):
    m = R.m
    nva = m.NVA
    lines = [R.nommat + "  " + fE(R.dopmat, 11, 4, True) + " type " + m.cbande]
    hdr = " SP.ET. " + "".join("SP.EC.VAL.%d " % k for k in range(1, nva + 1)) \
        + "".join("SP.VIT.VAL.%d " % k for k in range(1, nva + 1)) + "Energie(eV) Vitesse(cm/s) "
    lines.append(hdr)
    for i in range(501):
        vals = [R.spent[i]] + [R.spenv[iv][i] for iv in range(1, nva + 1)] \
            + [R.spvit[iv][i] for iv in range(1, nva + 1)] + [R.es[i], R.vs[i]]
        lines.append(" " + "".join(fE(v, 12, 5, True) + " " for v in vals))
    fh = open_output(R.filspc, "w")
    if fh:
        fh.write("\n".join(lines) + "\n")
        fh.close()


class EchoList(list):
    echo = False


def main():
    stdin_lines = sys.stdin.read().split("\n")
    if stdin_lines and stdin_lines[-1] == "":
        stdin_lines.pop()
    OUT.line(" ZOT 3.3 Thu Jan  1 01:00:00   <DATE>")
    OUT.line(" KLIP " + "4.1".ljust(20))
    code = 0
    files = []  # lines of the command files opened by BIBLI, innermost last
    try:
        while True:
            while files and not files[-1]:
                files.pop()
            if files:
                cmd = files[-1].pop(0)
                if files[-1].echo:
                    OUT.line(" " + cmd[:80].ljust(78)[:78])
            else:
                OUT.prompt("->")
                if not stdin_lines:
                    code = state["nerr"]  # end of input ends like EXIT
                    break
                cmd = stdin_lines.pop(0)
            if cmd.startswith(";"):
                continue
            state["buf"] = cmd[:80]
            word = tokens_of(cmd.upper())[0] if tokens_of(cmd) else ""
            if word.startswith("EXIT") or word.startswith("Q"):
                code = state["nerr"]
                break
            if word.startswith("DEBUG"):
                state["debug"] = int(tokens_of(cmd)[1])
                continue
            if word.startswith("BIBLI"):
                args = tokens_of(cmd)
                with open(args[1]) as fh:
                    lines = EchoList(fh.read().split("\n"))
                if lines and lines[-1] == "":
                    lines.pop()
                lines.echo = len(args) > 2 and args[2].upper().startswith("LIST")
                files.append(lines)
                continue
            if word.startswith("CA"):
                run_ca(stdin_lines)
                continue
            raise SystemExit("reference: unsupported command " + cmd)
        OUT.line(" Fin d'execution. Code de fin :" + fI(code, 4))
    except Stop as s:
        code = s.code
    sys.stdout.write(OUT.text())
    sys.stdout.flush()
    return code


if __name__ == "__main__":
    sys.exit(main())
