#!/usr/bin/env python3
"""Validation runs of the electron tables against measured data (docs/validation.md).

Each command writes material descriptions derived from examples/materials/*.mat (another
temperature, doping or table name), builds their tables with tabgen into a scratch table
repository, runs zot there (at most two processes at once) and prints a Markdown table of
simulated against measured values.

  python3 tools/validate.py mobility gaas|si [--temperature T]   mobility against doping
  python3 tools/validate.py velocity gaas|si|si_h --temperature T velocity against field
  python3 tools/validate.py ionisation si_hf|gaas_hf              ionisation coefficients
  python3 tools/validate.py scatter gaas|si --field F [--repeat N] [--particles N]

Options: --particles (default 10000), --steps (stationary steps of 0.5 ps, default 40),
--dir (scratch repository, default /tmp/zot-validate), --build (default build),
--description (a description file instead of examples/materials/<material>.mat),
--png FILE (a plot of the table; run with Debian's /usr/bin/python3, which has matplotlib).
"""
import argparse, math, os, re, shutil, subprocess, sys
from concurrent.futures import ThreadPoolExecutor

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# --- measured references -------------------------------------------------------------------
def masetti_si(n):
    """Masetti, Severi, Solmi, IEEE TED 30, 764 (1983), electrons in P-doped Si, 300 K."""
    return 68.5 + (1414 - 68.5) / (1 + (n / 9.20e16) ** 0.711) - 56.1 / (1 + (3.41e20 / n) ** 1.98)

def sotoodeh_gaas(n, t=300.0):
    """Sotoodeh, Khalid, Rezazadeh, J. Appl. Phys. 87, 2890 (2000), GaAs electrons."""
    mu_max, mu_min, nref, lam, th1, th2 = 9400.0, 500.0, 6.0e16, 0.394, 2.1, 3.0
    return mu_min + (mu_max * (300 / t) ** th1 - mu_min) / (1 + (n / (nref * (t / 300) ** th2)) ** lam)

def canali_si(e_vcm, t):
    """Canali et al., IEEE Trans. Electron Devices 22, 1045 (1975), electrons in Si, cm/s, E in V/cm."""
    vm, ec, beta = 1.53e9 * t ** -0.87, 1.01 * t ** 1.55, 2.57e-2 * t ** 0.66
    x = e_vcm / ec
    return vm * x / (1 + x ** beta) ** (1 / beta)

def canali_si_holes(e_vcm, t):
    """The same fit for holes in Si, cm/s, E in V/cm."""
    vm, ec, beta = 1.62e8 * t ** -0.52, 1.24 * t ** 1.68, 0.46 * t ** 0.17
    x = e_vcm / ec
    return vm * x / (1 + x ** beta) ** (1 / beta)

def law_gaas(e_vcm):
    """Empirical velocity-field law of GaAs at 300 K summarising Ruch and Kino (1968) and Thim
    (1968): mu0 = 8500 cm2/Vs, vs = 1e7 cm/s, E0 = 4 kV/cm."""
    x = (e_vcm / 4000.0) ** 4
    return (8500.0 * e_vcm + 1e7 * x) / (1 + x)

def ion_si(e_vcm):
    """van Overstraeten and de Man, Solid-State Electron. 13, 583 (1970), electrons, 1/cm."""
    return 7.03e5 * math.exp(-1.231e6 / e_vcm)

def ion_gaas(e_vcm):
    """Bulman, Robbins, Lee, Stillman, IEEE Electron Device Lett. 4, 181 (1983), electrons, 1/cm."""
    return 1.899e5 * math.exp(-(5.75e5 / e_vcm) ** 1.82)

# --- plots -------------------------------------------------------------------------------
def plot(path, title, xlabel, ylabel, x, sim, ref, reflabel, logx=False, logy=False, xref=None, yref=None):
    """Simulated points against the reference curve, to a PNG (needs python3-matplotlib)."""
    if not path:
        return
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(6, 4.2))
    if xref is not None:
        ax.plot(xref, yref, "-", color="0.4", label=reflabel)
    else:
        ax.plot(x, ref, "-", color="0.4", label=reflabel)
    ax.plot(x, sim, "o", label="zot")
    if logx: ax.set_xscale("log")
    if logy: ax.set_yscale("log")
    ax.set_xlabel(xlabel)
    ax.set_ylabel(ylabel)
    ax.set_title(title)
    ax.grid(True, which="both", alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(path, dpi=90)
    print("plot: %s" % path, file=sys.stderr)

def dense(lo, hi, n=60, log=True):
    if log:
        return [lo * (hi / lo) ** (i / (n - 1)) for i in range(n)]
    return [lo + (hi - lo) * i / (n - 1) for i in range(n)]

# --- runs ----------------------------------------------------------------------------------
DESCRIPTION = None   # --description: another description file than examples/materials/<material>.mat

def read_mat(name):
    path = DESCRIPTION or os.path.join(TOP, "examples/materials", name + ".mat")
    with open(path) as f:
        return f.read()

def set_key(text, key, value):
    pat = re.compile(r"^%s\s.*$" % re.escape(key), re.M)
    line = "%-15s %s" % (key, value)
    return pat.sub(line, text) if pat.search(text) else text + line + "\n"

def prepare(args, base, tag, temperature=None, doping=None):
    """Description of `base` at another temperature/doping, with table TAG, built into --dir."""
    text = read_mat(base)
    text = set_key(text, "table", tag)
    name = re.search(r"^material\s+(\S+)", text, re.M).group(1)
    if temperature is not None:
        text = set_key(text, "temperature", "%g" % temperature)
    if doping is not None:
        text = set_key(text, "doping", "%g" % doping)
    t = float(re.search(r"^temperature\s+(\S+)", text, re.M).group(1))
    n = float(re.search(r"^doping\s+(\S+)", text, re.M).group(1))
    os.makedirs(args.dir, exist_ok=True)
    path = os.path.join(args.dir, tag + ".mat")
    with open(path, "w") as f:
        f.write(text)
    subprocess.run([os.path.join(args.build, "tabgen"), "-o", args.dir, path], check=True,
                   stdout=subprocess.DEVNULL)
    return name, t, n

def run_dir(args, label):
    d = os.path.join(args.dir, "r_" + label)
    os.makedirs(d, exist_ok=True)
    for f in ("synerr", "zotmer", "zothlp"):
        p = os.path.join(d, f)
        if not os.path.lexists(p):
            os.symlink(os.path.join(TOP, "data", f), p)
    return d

def run_file(npart, nvinit, field, axis, steps, tcalm):
    if axis == "111":
        c = field / math.sqrt(3)
        ex = ey = ez = c
    else:
        ex, ey, ez = field, 0.0, 0.0
    return ("%d\n%d\n1\nfield\n%.6f\n%.6f\n%.6f\n0.5\n0.5\n%d\n10\n%.1f\n-\n0 0\n0\n0 0\n0\n-\nNON\nNON\n"
            % (npart, nvinit, ex, ey, ez, steps, tcalm))

def carrier_of(mat):
    """Carrier code of the material data file: 1 electrons, 2 holes (the description's carrier)."""
    return 2 if re.search(r"^carrier\s+holes", read_mat(mat), re.M) else 1

def zot(args, label, name, t, n, runs, carrier=1):
    """One zot session with one CA per run file text; returns the final averages of each."""
    d = run_dir(args, label)
    with open(os.path.join(d, "m.mat"), "w") as f:
        f.write("0\n%d\n%g\n%s\n%g\n" % (carrier, t, name, n))
    stdin = ""
    for i, r in enumerate(runs):
        with open(os.path.join(d, "%d.run" % i), "w") as f:
            f.write(r)
        stdin += "CA\nm.mat\n%d.run\n" % i
    stdin += "EXIT\n"
    out = subprocess.run([os.path.join(args.build, "zot")], input=stdin, cwd=d, text=True,
                         capture_output=True, errors="replace").stdout
    with open(os.path.join(d, "out"), "w") as f:
        f.write(out)
    res = []
    for part in out.split(" 3) Moyennes finales")[1:]:
        r = {}
        for line in part.split("\n"):
            if "=" in line or ":" in line:
                key, _, val = line.replace(":", "=", 1).partition("=")
                r.setdefault(key.strip(), val.split())
        res.append(r)
    return res, out

def drift(r, axis):
    vx, vy, vz = (float(v) for v in r["Vitesses moyennes [cm/s]"][:3])
    return (vx + vy + vz) / math.sqrt(3) if axis == "111" else vx

def setup_of(mat):
    return {"si": ("111", 3), "si_hf": ("x", 3)}.get(mat, ("x", 1))

def pool(jobs):
    with ThreadPoolExecutor(max_workers=2) as ex:
        return list(ex.map(lambda j: j(), jobs))

def cmd_mobility(args):
    mat = args.material
    axis, nv = setup_of(mat)
    dopings = [float(x) for x in args.dopings.split(",")]
    t = args.temperature
    ref = (lambda n: masetti_si(n)) if mat == "si" else (lambda n: sotoodeh_gaas(n, t))
    refname = "Masetti 1983" if mat == "si" else "Sotoodeh 2000"
    # The field keeps the power a carrier takes from it, mu E^2, at or below that of lightly
    # doped material at 0.5 kV/cm and 300 K: ohmic, with a drift large enough to measure. Above
    # 300 K the field falls as 1/T; below, where the mobility rises steeply, it falls as
    # 1/sqrt(mu), so that the carriers are not heated.
    mu0 = ref(1e14)
    mu300 = masetti_si(1e14) if mat == "si" else sotoodeh_gaas(1e14)
    base = 0.5 * (300 / t) if t >= 300 else 0.5 * math.sqrt(mu300 / mu0)
    field_of = lambda n: base * min(3.0, math.sqrt(mu0 / ref(n)))
    # Each doping gets its own table name, so the catalogue holds them all at once.
    made = [prepare(args, mat, "M%s_%02d" % (mat[:2].upper(), i), t, n) for i, n in enumerate(dopings)]
    def job(n, i):
        def f():
            name, tt, nn = made[i]
            res, _ = zot(args, "mob_%s_%d_%g" % (mat, t, n), name, tt, nn,
                         [run_file(args.particles, nv, field_of(n), axis, args.steps, args.steps * 0.5)])
            return float(res[0]["Mobilite [cm2/Vs]"][0]) if res else float("nan")
        return f
    mus = pool([job(n, i) for i, n in enumerate(dopings)])
    print("| doping (cm-3) | field (kV/cm) | simulated (cm2/Vs) | %s (cm2/Vs) | difference |" % refname)
    print("|---|---|---|---|---|")
    for n, mu in zip(dopings, mus):
        r = ref(n)
        print("| %.0e | %.2f | %.0f | %.0f | %+.0f %% |" % (n, field_of(n), mu, r, 100 * (mu / r - 1)))
    xs = dense(min(dopings), max(dopings))
    plot(args.png, "%s electrons, %g K" % (mat, t), "doping (cm-3)", "mobility (cm2/Vs)", dopings, mus, None,
         refname, logx=True, logy=True, xref=xs, yref=[ref(n) for n in xs])

def cmd_velocity(args):
    mat = args.material
    axis, nv = setup_of(mat)
    t = args.temperature
    fields = [float(x) for x in args.fields.split(",")]
    tag = "V%s%03d" % (mat[:2].upper(), int(t))
    name, tt, nn = prepare(args, mat, tag, t, None)
    carrier = carrier_of(mat)
    def job(f):
        return lambda: zot(args, "vf_%s_%g_%g" % (mat, t, f), name, tt, nn,
                           [run_file(args.particles, nv, f, axis, args.steps, args.steps * 0.5)],
                           carrier)[0]
    res = pool([job(f) for f in fields])
    def reference(e_vcm):
        if mat == "si_h":
            return canali_si_holes(e_vcm, t)
        if mat == "si":
            return canali_si(e_vcm, t)
        return law_gaas(e_vcm) if t == 300 else float("nan")
    print("| field (kV/cm) | drift velocity (cm/s) | mean energy (eV) | reference (cm/s) | difference |")
    print("|---|---|---|---|---|")
    pts = []
    for f, r in zip(fields, res):
        if not r:
            print("| %g | failed | | | |" % f); continue
        v = drift(r[0], axis)
        ref = reference(f * 1e3)
        if mat == "si" and t < 100 and f > 5:
            ref = 1.26e7   # measured saturation at 77 K (Jacoboni et al. 1977)
        e = float(r[0]["Energie cinetique moyenne"][0])
        print("| %g | %.3e | %.3f | %.3e | %+.1f %% |" % (f, v, e, ref, 100 * (v / ref - 1)))
        pts.append((f, v))
    if mat.startswith("si") or t == 300:
        xs = dense(min(fields), max(fields))
        curve = [reference(f * 1e3) for f in xs]
        label = "Canali 1975 fit" if mat.startswith("si") else "Ruch-Kino/Thim law"
    else:
        xs, curve, label = [], [], "no reference"
    plot(args.png, "%s %s, %g K" % (mat, "holes" if carrier == 2 else "electrons", t), "field (kV/cm)", "drift velocity (cm/s)",
         [p[0] for p in pts], [p[1] for p in pts], None, label, logx=True, logy=True, xref=xs, yref=curve)

def cmd_ionisation(args):
    mat = args.material
    axis, nv = setup_of(mat)
    fields = [float(x) for x in args.fields.split(",")]
    name, tt, nn = prepare(args, mat, read_tag(mat), None, None)
    ref = ion_si if mat.startswith("si") else ion_gaas
    def job(f):
        return lambda: zot(args, "ion_%s_%g" % (mat, f), name, tt, nn,
                           [run_file(args.particles, nv, f, "x", args.steps, args.steps * 0.5)])
    res = pool([job(f) for f in fields])
    print("| field (kV/cm) | alpha, impact1 (1/cm) | measured (1/cm) | ratio | cancelled flights | mean energy (eV) |")
    print("|---|---|---|---|---|---|")
    pts = []
    for f, (r, out) in zip(fields, res):
        if not r:
            print("| %g | failed | | | | |" % f); continue
        a1 = float(r[0]["Coeff d'ionisation par impact1 moyen [1/cm]"][0])
        m = ref(f * 1e3)
        canc = sum(int(x) for x in re.findall(r"depassement d'energie =\s*(\d+)", out))
        e = float(r[0]["Energie cinetique moyenne"][0])
        print("| %g | %.3e | %.3e | %.2f | %s | %.3f |" % (f, a1, m, a1 / m, canc, e))
        pts.append((f, a1))
    xs = dense(min(fields), max(fields))
    plot(args.png, "%s electrons, 300 K" % mat, "field (kV/cm)", "ionisation coefficient (1/cm)",
         [p[0] for p in pts], [p[1] for p in pts], None,
         "van Overstraeten-de Man 1970" if mat.startswith("si") else "Bulman et al. 1983",
         logy=True, xref=xs, yref=[ref(f * 1e3) for f in xs])

def read_tag(mat):
    return re.search(r"^table\s+(\S+)", read_mat(mat), re.M).group(1)

def cmd_scatter(args):
    mat = args.material
    axis, nv = setup_of(mat)
    name, tt, nn = prepare(args, mat, read_tag(mat), None, None)
    runs = [run_file(args.particles, nv, args.field, axis, args.steps, args.steps * 0.5)] * args.repeat
    res, _ = zot(args, "sc_%s_%g" % (mat, args.field), name, tt, nn, runs)
    vs = [drift(r, axis) for r in res]
    mus = [float(r["Mobilite [cm2/Vs]"][0]) for r in res]
    def stats(x):
        m = sum(x) / len(x)
        s = math.sqrt(sum((a - m) ** 2 for a in x) / (len(x) - 1))
        return m, s
    mv, sv = stats(vs)
    mm, sm = stats(mus)
    print("| %s | %g | %d | %d | %.4g | %.2f %% | %.4g | %.2f %% |" % (
        mat, args.field, args.particles, args.steps, mv, 100 * sv / abs(mv), mm, 100 * sm / abs(mm)))

def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("what", choices=["mobility", "velocity", "ionisation", "scatter"])
    p.add_argument("material")
    p.add_argument("--temperature", type=float, default=300.0)
    p.add_argument("--fields", default="2,3,5,7,10,20,30,50")
    p.add_argument("--field", type=float, default=0.5)
    p.add_argument("--dopings", default="1e14,1e15,1e16,1e17,3e17,1e18,3e18,1e19")
    p.add_argument("--repeat", type=int, default=8)
    p.add_argument("--particles", type=int, default=10000)
    p.add_argument("--steps", type=int, default=40)
    p.add_argument("--dir", default="/tmp/zot-validate")
    p.add_argument("--build", default=os.path.join(TOP, "build"))
    p.add_argument("--png", help="also draw the table as a plot into this PNG (python3-matplotlib)")
    p.add_argument("--description", help="description file to use instead of the shipped one")
    args = p.parse_args()
    global DESCRIPTION
    DESCRIPTION = args.description and os.path.abspath(args.description)
    args.dir = os.path.abspath(args.dir)
    args.build = os.path.abspath(args.build)
    # A fresh repository: the catalogue must not hold two tables of the same material,
    # temperature and doping (zot takes the first).
    shutil.rmtree(args.dir, ignore_errors=True)
    {"mobility": cmd_mobility, "velocity": cmd_velocity, "ionisation": cmd_ionisation,
     "scatter": cmd_scatter}[args.what](args)

if __name__ == "__main__":
    main()
