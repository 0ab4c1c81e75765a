"""The study tool: study files into points, zot reports into rows, the table ladder, resuming,
and whole studies on the local backend and on a local Slurm cluster."""
import csv
import json
import math
import os
import signal
import subprocess
import sys
import time

import pytest

from conftest import TOP, TOOL

REPORTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reports")
FAST = """[run]
particles = {n}
steps = {steps}
max_averaging_ps = 3
"""


def tool(build, *args, env=None, **kw):
    e = dict(env or os.environ)
    e["ZOT_BUILD_DIR"] = build
    return subprocess.run([sys.executable, TOOL, *args], env=e, capture_output=True, text=True, **kw)


def write(path, text):
    with open(path, "w") as f:
        f.write(text)
    return str(path)


def rows(d):
    with open(os.path.join(d, "results.csv"), newline="") as f:
        return list(csv.DictReader(f))


def test_study_expands_into_points(zs, tmp_path):
    s = write(tmp_path / "s.toml", """
[run]
particles = 2000

[[series]]
material = "gaas"
temperature_K = [77, 300]
field_kV_cm = { from = 1, to = 100, points = 3, log = true }
direction = [1, -1, 0]

[[series]]
material = "si"
field_kV_cm = 5
direction = ["<111>", [0, 0, -2], [1e-200, 1e-200, 0]]
steps = 8
""")
    pts = zs.expand(zs.Study(s))
    assert len(pts) == 2 * 3 + 3
    assert [p["field_kV_cm"] for p in pts[:3]] == [1, 10, 100]
    assert [p["temperature_K"] for p in pts[:4]] == [77, 77, 77, 300]
    g = pts[1]
    # [1, -1, 0] is mirrored to [1, 1, 0], which is <110>; the given direction is kept.
    assert (g["direction"], g["direction_given"]) == ("<110>", "[1 -1 0]")
    assert g["field"] == (pytest.approx(7.071068), pytest.approx(7.071068), 0.0)
    assert g["run"]["particles"] == 2000 and g["run"]["steps"] == 20
    assert g["valleys_at_start"] == 1 and g["doping_cm3"] == 1e14
    assert g["rungs"] == [0.6, 0.8, 1.2, 1.6, 2.4]
    si = pts[6:]
    assert [p["direction"] for p in si] == ["<111>", "[0 0 2]", "<110>"]
    assert si[2]["field"] == (pytest.approx(3.535534), pytest.approx(3.535534), 0.0)
    assert si[1]["field"] == (0.0, 0.0, 5.0)
    assert si[0]["valleys_at_start"] == 3 and si[0]["run"]["steps"] == 8
    assert len({p["point"] for p in pts}) == len(pts)
    assert len(zs.point_name(dict(g, material="x" * 250 + ".mat"))) < 160   # a file name has 255 bytes
    # An alloy lists no valley: tabgen's interpolation gives them (X 0.534, L 0.552 eV in InGaAs).
    al = zs.expand(zs.Study(write(tmp_path / "al.toml", "[[series]]\nmaterial = 'ingaas'\nfield_kV_cm = 1\n")))
    assert al[0]["valleys_at_start"] == 1 and al[0]["rungs"] == [0.8, 1.2, 1.6]


@pytest.mark.parametrize("body, line, words", [
    ("[[series]]\nmaterial = 'gaas'\nfield_kV_cm = [1]\nfeild = 2\n", 4, "unknown key"),
    ("[run]\nparticles = 0\n[[series]]\nmaterial = 'gaas'\nfield_kV_cm = 1\n", 2, "out of range"),
    ("[[series]]\nmaterial = 'gaas'\nfield_kV_cm = 1\n[[series]]\nmaterial = 'gaas'\n"
     "temperature_K = 0.5\nfield_kV_cm = 1\n", 6, "out of range"),
    ("[[series]]\nmaterial = 'gaas'\nfield_kV_cm = [1, 2000]\n", 3, "out of range"),
    ("[[series]]\nmaterial = 'unobtainium'\nfield_kV_cm = 1\n", 2, "no shipped material"),
    ("[[series]]\nmaterial = 'nothere.mat'\nfield_kV_cm = 1\n", 2, "does not exist"),
    ("[[series]]\nfield_kV_cm = 1\nmaterial = '/dev/zero'\n", 3, "not a material description"),
    ("[[series]]\nmaterial = 'gaas'\ncarrier = 'holes'\nfield_kV_cm = 1\n", 3, "is for electrons"),
    ("[[series]]\nmaterial = 'gaas'\nfield_kV_cm = 1\ndirection = '<123>'\n", 4, "unknown direction"),
    ("[[series]]\nmaterial = 'gaas'\nfield_kV_cm = 1\ndoping_cm3 = [0, -0.0]\n", 1, "is already in"),
    ("[[series]]\nmaterial = 'gaas'\nfield_kV_cm = 1\nfield_kV_cm = 2\n", 4, "Cannot overwrite a value"),
    ("[run]\nsteps = 1" + "0" * 400 + "\n[[series]]\nmaterial = 'gaas'\nfield_kV_cm = 1\n", 2, "a 401-digit number"),
    ("[[series]]\nmaterial = 'gaas'\nfield_kV_cm = { from = 1, to = 9, points = 10000 }\n"
     "doping_cm3 = { from = 0, to = 1, points = 11 }\n", 1, "at most 100000"),
])
def test_bad_study_names_its_line(zs, tmp_path, body, line, words):
    s = write(tmp_path / "bad.toml", body)
    with pytest.raises(zs.StudyError) as e:
        zs.expand(zs.Study(s))
    assert f"bad.toml:{line}:" in str(e.value) and words in str(e.value)


def test_reports_read_into_rows(zs):
    """Values checked by hand against the reports."""
    def read(name, field):
        with open(os.path.join(REPORTS, name), encoding="latin-1") as f:
            r = zs.parse_report(f.read())
        return zs.row_from_report(r, field)

    g = read("gaas-5kVcm-100.out", (5, 0, 0))
    assert g["velocity_cm_s"] == 1.833e7 and g["mobility_cm2_Vs"] == 3665.19
    assert g["energy_eV"] == 0.1073 and g["valley_shares_pct"] == "75.48;24.45;0.07"
    assert g["self_scattering_pct"] == 98.62 and g["cancelled_flights"] == 0
    assert g["ionisation_per_cm"] == 0
    # 20 steps, energy relaxation 0.751 ps: 5 batches of 4 steps, means 2.01025, 1.81325,
    # 1.764, 1.788, 1.787 (1e7 cm/s): standard error 4.51e5 cm/s.
    assert g["velocity_stderr_cm_s"] == pytest.approx(4.51e5, rel=2e-3)
    # 7.87053e7 stationary events, 1.41 % real; 17184900 self-scatterings = 99.14 % in equilibration
    assert g["real_events"] == pytest.approx(7.87053e7 * 0.0138 + 17184900 / 0.9914 * 0.0086, rel=1e-4)

    s = read("si-30kVcm-111.out", (17.32051, 17.32051, 17.32051))
    # (6.240 + 6.050 + 5.847)e6 / sqrt(3); six batches of one step (0.5 ps > 2 x 0.283 ps)
    assert s["velocity_cm_s"] == 1.047e7 and s["valley_shares_pct"] == "33.77;32.85;33.38"
    assert s["velocity_stderr_cm_s"] == pytest.approx(3.670e5, rel=2e-3)

    # 4684 cancelled flights in the equilibration, 95699 in the stationary steps
    assert read("gaas-50kVcm-top0.6.out", (50, 0, 0))["cancelled_flights"] == 4684 + 95699

    # An infinite relaxation time gives the largest batches, not a traceback.
    assert zs.batch_means([1, 2, 3, 4, 5, 6, 7, 8], math.inf, 0.5) == (4.5, pytest.approx(1.291, rel=1e-3))
    # An overflowed or unreadable final value fails the point instead of leaving its cell empty.
    with open(os.path.join(REPORTS, "gaas-5kVcm-100.out"), encoding="latin-1") as f:
        text = f.read()
    with pytest.raises(zs.ReportError, match=r"cannot be read \(energy, v\)"):
        zs.parse_report(text.replace("= 0.1073 eV", "= nan eV").replace("1.833E+07", "*********"))
    with pytest.raises(zs.ReportError, match="Il n'existe pas de donnees"):
        zs.parse_report(" Il n'existe pas de donnees sur  NOPE  de type E  A  T=  300.K\n"
                        "-> Fin d'execution. Code de fin :   1\n")


def test_ladder_climbs_on_cancelled_flights(build, tmp_path):
    s = write(tmp_path / "s.toml", FAST.format(n=500, steps=4)
              + "[[series]]\nmaterial = 'gaas'\nfield_kV_cm = [1, 50]\n")
    r = tool(build, "run", s, "--out", str(tmp_path / "out"), "--jobs", "2")
    assert r.returncode == 0, r.stderr
    low, high = rows(tmp_path / "out")
    assert (low["table_top_eV"], low["cancelled_flights"]) == ("0.6", "0")
    assert (high["table_top_eV"], high["cancelled_flights"]) == ("1.2", "0")
    with open(tmp_path / "out" / "runs" / high["point"] / "result.json") as f:
        tries = json.load(f)["attempts"]
    assert [(t["top_eV"], t["stopped_on_cancelled_flight"]) for t in tries] == [(0.6, True), (0.8, True), (1.2, False)]
    # The run chosen is an ordinary zot run on that table: same report as one made by hand.
    d = tmp_path / "out" / "runs" / high["point"]
    with open(d / "top1.2.in") as fin:
        again = subprocess.run([os.path.join(build, "zot")], cwd=d, stdin=fin, capture_output=True, text=True)
    assert again.stdout.split("\n")[3:] == (d / "top1.2.out").read_text().split("\n")[3:]


def test_interrupted_study_resumes(build, tmp_path):
    s = write(tmp_path / "s.toml", FAST.format(n=3000, steps=6)
              + "[[series]]\nmaterial = 'gaas'\nfield_kV_cm = [1, 2, 3, 4]\n")
    out = tmp_path / "out"
    e = dict(os.environ, ZOT_BUILD_DIR=build)
    proc = subprocess.Popen([sys.executable, TOOL, "run", s, "--out", str(out), "--jobs", "1"],
                            env=e, stderr=subprocess.PIPE, text=True)
    end = time.monotonic() + 120
    while time.monotonic() < end and not (out / "results.csv").exists():
        time.sleep(0.05)
    proc.send_signal(signal.SIGTERM)
    time.sleep(0.005)
    proc.send_signal(signal.SIGINT)      # a second signal does not break the clean-up
    err = proc.communicate(timeout=60)[1]
    assert proc.returncode == 130 and "rerun the same command to resume" in err and "Traceback" not in err
    first = rows(out)
    assert 1 <= len(first) < 4 and all(r["status"] == "ok" for r in first)
    stamp = os.path.getmtime(out / "runs" / first[0]["point"] / "result.json")
    r = tool(build, "run", s, "--out", str(out))
    assert r.returncode == 0 and f"{len(first)} already done" in r.stderr
    final = rows(out)
    assert [x["field_kV_cm"] for x in final] == ["1", "2", "3", "4"] and all(x["status"] == "ok" for x in final)
    assert final[0] == first[0] and os.path.getmtime(out / "runs" / first[0]["point"] / "result.json") == stamp


TWO_MATERIALS = FAST.format(n=800, steps=4) + """
[[series]]
material = "gaas"
field_kV_cm = [1, 20]

[[series]]
material = "si"
temperature_K = 77
field_kV_cm = [2, 30]
direction = "<111>"
"""


def check_two_materials(got):
    assert [(r["material"], r["field_kV_cm"], r["status"]) for r in got] == [
        ("gaas", "1", "ok"), ("gaas", "20", "ok"), ("si", "2", "ok"), ("si", "30", "ok")]
    g1, g20, s2, s30 = got
    # mobility = drift velocity / field, within the 4 significant digits of the report
    for r in got:
        assert float(r["mobility_cm2_Vs"]) == pytest.approx(float(r["velocity_cm_s"]) / float(r["field_kV_cm"]) / 1e3, rel=2e-3)
    assert 5000 < float(g1["mobility_cm2_Vs"]) < 9500 and float(g20["valley_shares_pct"].split(";")[1]) > 50
    assert float(g20["velocity_cm_s"]) < float(g1["velocity_cm_s"]) * 20 / 5   # negative differential mobility
    assert all(abs(float(x) - 100 / 3) < 6 for x in s30["valley_shares_pct"].split(";"))  # <111>: equal pairs
    assert s2["temperature_K"] == "77" and float(s2["velocity_stderr_cm_s"]) > 0


def test_local_study_and_bad_points(build, tmp_path):
    s = write(tmp_path / "s.toml", TWO_MATERIALS)
    out = tmp_path / "out"
    r = tool(build, "run", s, "--out", str(out))
    assert r.returncode == 0, r.stderr
    assert "4/4 points done, 0 failed" in r.stderr
    check_two_materials(rows(out))
    r = tool(build, "plot", str(out))
    assert r.returncode == 0, r.stderr
    assert os.path.getsize(out / "plot.png") > 10000 and os.path.getsize(out / "plot.svg") > 10000
    edited = out / "edited"
    edited.mkdir()
    table = (out / "results.csv").read_text().split("\n")
    table[2] = table[2].replace(table[2].split(",")[6], "abc", 1)
    table[1] = "a$b^{$c" + table[1][4:]          # not read as matplotlib's mathtext
    write(edited / "results.csv", "\n".join(table))
    r = tool(build, "plot", str(edited))
    assert r.returncode == 1 and "results.csv:3: velocity_cm_s 'abc' is not a number" in r.stderr
    assert (edited / "plot.png").exists()

    # A description tabgen refuses, added to the same study: its point fails with tabgen's
    # message, the others are kept, the status is nonzero.
    with open(os.path.join(TOP, "examples", "materials", "gaas.mat")) as f:
        write(tmp_path / "broken.mat", f.read().replace("density         5360", "density         -1"))
    write(s, TWO_MATERIALS + "\n[[series]]\nmaterial = 'broken.mat'\nfield_kV_cm = 3\n")
    r = tool(build, "run", s, "--out", str(out))
    assert r.returncode == 1 and "4 already done" in r.stderr
    assert "point broken.mat electrons 300 K 1e+14 cm-3 3 kV/cm <100>: tabgen failed" in r.stderr
    got = rows(out)
    check_two_materials(got[:4])
    assert got[4]["status"] == "failed" and f"{tmp_path}/broken.mat (as copied to Z" in got[4]["message"] and "density" in got[4]["message"]

    # A zot that gives no report: the point fails with zot's last message.
    fake = write(tmp_path / "zot-broken", "#!/bin/sh\necho ' FICHIER IMPOSSIBLE A OUVRIR'\nexit 3\n")
    os.chmod(fake, 0o755)
    one = write(tmp_path / "one.toml", "[[series]]\nmaterial = 'inp'\nfield_kV_cm = 1\n")
    r = tool(build, "run", one, "--out", str(tmp_path / "broken"), "--zot", fake,
             "--tabgen", os.path.join(build, "tabgen"))
    assert r.returncode == 1 and "zot gave no final averages: FICHIER IMPOSSIBLE A OUVRIR" in r.stderr

    # No sbatch: a clear message, nothing of the results lost.
    before = (out / "results.csv").read_text()
    r = tool(build, "run", s, "--out", str(out), "--backend", "slurm", env=dict(os.environ, PATH="/nonexistent"))
    assert r.returncode == 1 and "cannot run sbatch" in r.stderr
    assert (out / "results.csv").read_text() == before


@pytest.fixture(scope="module")
def cluster():
    if os.environ.get("ZOT_STUDY_NO_SLURM") == "1":
        pytest.skip("ZOT_STUDY_NO_SLURM=1: the Slurm test is skipped")
    from slurm_local import Cluster
    c = Cluster()
    try:
        c.start()
    except (RuntimeError, OSError, subprocess.CalledProcessError) as e:
        pytest.fail(f"no Slurm cluster for the test (set ZOT_STUDY_NO_SLURM=1 to skip it): {e}")
    yield c
    c.stop()


def test_slurm_study_matches_local(build, tmp_path, cluster):
    s = write(tmp_path / "s.toml", TWO_MATERIALS)
    local, slurm = tmp_path / "local", tmp_path / "slurm"
    r = tool(build, "run", s, "--out", str(local))
    assert r.returncode == 0, r.stderr
    r = tool(build, "run", s, "--out", str(slurm), "--backend", "slurm", "--slurm-per-task", "3",
             "--slurm-time", "10", env=cluster.env, timeout=600)
    assert r.returncode == 0, r.stderr
    assert "submitting 2 array task(s)" in r.stderr
    a, b = rows(local), rows(slurm)
    for x in a + b:
        x.pop("cpu_s")
    assert a == b
    check_two_materials(b)

    r = tool(build, "run", s, "--out", str(tmp_path / "refused"), "--backend", "slurm",
             "--slurm-partition", "nosuch", env=cluster.env, timeout=120)
    assert r.returncode == 1 and "sbatch refused the job" in r.stderr and "nosuch" in r.stderr.lower()
    # More array tasks than the cluster's MaxArraySize (1001 by default): given as one range,
    # refused with what to do.
    big = write(tmp_path / "big.toml", FAST.format(n=300, steps=4)
                + "[[series]]\nmaterial = 'gaas'\nfield_kV_cm = { from = 1, to = 50, points = 1100 }\n")
    r = tool(build, "run", big, "--out", str(tmp_path / "big"), "--backend", "slurm", "--slurm-per-task", "1",
             env=cluster.env, timeout=300)
    assert r.returncode == 1 and "--array=0-1099 " in r.stderr and "give a larger --slurm-per-task" in r.stderr

    # A task that dies after its first point leaves the others without a result: it is
    # submitted once more, and runs only those.
    write(tmp_path / "s2.toml", TWO_MATERIALS.replace("[1, 20]", "[1.5, 2.5]"))
    zot = write(tmp_path / "zot", f"""#!/bin/sh
[ -e "$0.ran" ] || {{ touch "$0.ran"; exec {build}/zot; }}
[ -e "$0.died" ] || {{ touch "$0.died"; kill -9 $PPID; exit 1; }}
exec {build}/zot
""")
    os.chmod(zot, 0o755)
    r = tool(build, "run", str(tmp_path / "s2.toml"), "--out", str(slurm), "--backend", "slurm", "--zot", zot,
             "--tabgen", os.path.join(build, "tabgen"), env=cluster.env, timeout=600)
    assert r.returncode == 0, r.stderr
    assert "2 already done" in r.stderr and "submitting them once more" in r.stderr, r.stderr
    retry = [f for f in os.listdir(slurm / "slurm") if os.path.exists(slurm / "slurm" / f / "task-0.2.log")]
    assert len(retry) == 1 and "ok, done before" in (slurm / "slurm" / retry[0] / "task-0.2.log").read_text()
    got = rows(slurm)
    assert len(got) == 6 and [(x["field_kV_cm"], x["status"]) for x in got[:2]] == [("1.5", "ok"), ("2.5", "ok")]


def slow_zot(path, build, wait_s):
    write(path, f"#!/bin/sh\nsleep {wait_s}\nexec {build}/zot\n")
    os.chmod(path, 0o755)
    return str(path)


def wait_for(cond, timeout=120):
    end = time.monotonic() + timeout
    while not cond():
        assert time.monotonic() < end
        time.sleep(0.2)


def test_slurm_job_outlives_the_interrupted_tool(build, tmp_path, cluster):
    """Interrupted while it waits, the tool leaves the job to run and says so; a rerun refuses
    while the job runs the same points, then takes the results it left."""
    s = write(tmp_path / "s.toml", FAST.format(n=300, steps=4) + "[[series]]\nmaterial = 'gaas'\nfield_kV_cm = [1, 2]\n")
    out = tmp_path / "out"
    args = [s, "--out", str(out), "--backend", "slurm", "--slurm-per-task", "1",
            "--zot", slow_zot(tmp_path / "zot", build, 4), "--tabgen", os.path.join(build, "tabgen")]
    with open(tmp_path / "err", "w+") as err:
        proc = subprocess.Popen([sys.executable, TOOL, "run", *args], env=cluster.env, stderr=err, text=True)
        wait_for(lambda: "queued" in (tmp_path / "err").read_text())
        proc.send_signal(signal.SIGINT)
        assert proc.wait(timeout=60) == 130
    text = (tmp_path / "err").read_text()
    job = text.split("Slurm job ")[1].split()[0]
    assert f"scancel {job}" in text and "Traceback" not in text
    r = tool(build, "run", *args, env=cluster.env, timeout=120)
    assert r.returncode == 1 and f"scancel {job}" in r.stderr and "still run points" in r.stderr
    wait_for(lambda: subprocess.run(["squeue", "-h", "-j", job], env=cluster.env, capture_output=True, text=True).stdout == "")
    r = tool(build, "run", *args, env=cluster.env, timeout=120)
    assert r.returncode == 0 and "2 point(s) finished by an earlier run" in r.stderr and "0 to run" in r.stderr, r.stderr
    assert [x["status"] for x in rows(out)] == ["ok", "ok"]

    # A job cancelled by its user is not submitted again: its points fail, saying so.
    write(s, FAST.format(n=300, steps=4) + "[[series]]\nmaterial = 'gaas'\nfield_kV_cm = [1, 2, 3]\n")
    with open(tmp_path / "err", "w+") as err:
        proc = subprocess.Popen([sys.executable, TOOL, "run", *args], env=cluster.env, stderr=err, text=True)
        wait_for(lambda: "queued" in (tmp_path / "err").read_text())
        job = (tmp_path / "err").read_text().split("Slurm job ")[1].split()[0]
        subprocess.run(["scancel", job], env=cluster.env, check=True)
        assert proc.wait(timeout=120) == 1
    text = (tmp_path / "err").read_text()
    assert "submitting them once more" not in text and "Traceback" not in text
    assert f"3 kV/cm <100>: Slurm array task 0 of job {job} was cancelled" in text
    assert [x["status"] for x in rows(out)] == ["ok", "ok", "failed"]


def test_tables_lost_are_made_again(zs, build, tmp_path):
    """A table name absent from tables.json but present on disk may hold another table; a
    table absent from the catalogue cannot be found by zot."""
    s = write(tmp_path / "s.toml", "ladder_eV = [0.6]\n[[series]]\nmaterial = 'gaas'\nfield_kV_cm = 1\n")
    repo = str(tmp_path / "runs")
    os.makedirs(repo)
    tabgen = os.path.join(build, "tabgen")
    first = zs.expand(zs.Study(s))
    zs.make_tables(first, repo, tabgen)
    os.rename(os.path.join(repo, "tables.json"), os.path.join(repo, "tables.aside"))
    s2 = write(tmp_path / "s2.toml", "ladder_eV = [0.8]\n[[series]]\nmaterial = 'gaas'\nfield_kV_cm = 1\n")
    second = zs.expand(zs.Study(s2))
    zs.make_tables(second, repo, tabgen)
    assert not {n for _, n in first[0]["tables"]} & {n for _, n in second[0]["tables"]}
    for top, name in second[0]["tables"]:
        with open(os.path.join(repo, name + ".mat")) as f:
            assert f"etop {top!r}" in f.read()
    # A catalogue lost: the tables it named are entered again, under the same names.
    os.unlink(os.path.join(repo, "replam"))
    zs.make_tables(second, repo, tabgen)
    with open(os.path.join(repo, "replam")) as f:
        assert sorted(line.split()[0] for line in f) == sorted(n for _, n in second[0]["tables"])


def test_tabgen_warnings_reach_the_user_once(zs, build, tmp_path, capsys):
    s = write(tmp_path / "s.toml", "ladder_eV = [0.6, 0.8]\n[[series]]\nmaterial = 'gaas'\n"
              "temperature_K = 600\nfield_kV_cm = 1\n")
    zs.make_tables(zs.expand(zs.Study(s)), str(tmp_path), os.path.join(build, "tabgen"))
    notes = [l for l in capsys.readouterr().err.splitlines() if "warning: temperature 600 K" in l]
    assert len(notes) == 1 and "gaas.mat: warning" in notes[0], notes


def test_unwritable_results_end_with_a_message_and_keep_the_files(zs, build, tmp_path, monkeypatch, capsys):
    s = write(tmp_path / "s.toml", FAST.format(n=300, steps=4) + "[[series]]\nmaterial = 'gaas'\nfield_kV_cm = 1\n")
    out = tmp_path / "out"
    assert tool(build, "run", s, "--out", str(out)).returncode == 0
    r = tool(build, "run", s, "--out", str(tmp_path / "s.toml" / "out"))
    assert r.returncode == 1 and "s.toml/out: cannot be written (Not a directory)" in r.stderr

    # The disk fills while a point runs: the tool stops with the file and the reason, and the
    # result tables keep the rows they held.
    before = {f: (out / f).read_text() for f in ("results.csv", "results.json")}
    write(s, FAST.format(n=300, steps=4) + "[[series]]\nmaterial = 'gaas'\nfield_kV_cm = [1, 2]\n")
    atomic_write = zs.atomic_write

    def full(path, text):
        if path.endswith("results.json"):
            raise OSError(28, "No space left on device", path)
        atomic_write(path, text)
    monkeypatch.setattr(zs, "atomic_write", full)
    monkeypatch.setenv("ZOT_BUILD_DIR", build)
    try:
        assert zs.main(["run", s, "--out", str(out)]) == 1
    finally:
        zs.STOPPING.clear()
    assert "results.json: No space left on device" in capsys.readouterr().err
    assert {f: (out / f).read_text() for f in before} == before


def test_results_of_runs_missing_from_the_tables_are_kept(build, tmp_path):
    """A point whose result.json is ok but whose row never reached the result tables (the tool
    was killed, or the disk filled, in between) is taken as it is, not run again."""
    s = write(tmp_path / "s.toml", FAST.format(n=300, steps=4) + "[[series]]\nmaterial = 'gaas'\nfield_kV_cm = [1, 2]\n")
    out = tmp_path / "out"
    # `zot-study run ... 2>&1 | head -1`: the progress lines cannot be written; the runs go on.
    proc = subprocess.Popen([sys.executable, TOOL, "run", s, "--out", str(out), "--jobs", "1"],
                            env=dict(os.environ, ZOT_BUILD_DIR=build), stderr=subprocess.PIPE)
    proc.stderr.close()
    assert proc.wait(timeout=120) == 0
    first = rows(out)
    assert [r["status"] for r in first] == ["ok", "ok"]
    done = out / "runs" / first[1]["point"] / "result.json"
    stamp = os.path.getmtime(done)
    for f in ("results.json", "results.csv"):
        os.rename(out / f, tmp_path / f)
    r = tool(build, "run", s, "--out", str(out))
    assert r.returncode == 0 and "2 already done" in r.stderr
    assert rows(out) == first and os.path.getmtime(done) == stamp
    umask = os.umask(0)
    os.umask(umask)
    assert os.stat(out / "results.csv").st_mode & 0o777 == 0o666 & ~umask


def test_slurm_task_script_takes_any_directory_name(zs, tmp_path):
    sdir = tmp_path / "it's a $dir"
    sdir.mkdir()
    task_file = write(sdir / "tasks.json", json.dumps({"zot": "none", "run_id": "x/1", "tasks": [[]]}))
    args = type("Args", (), {"slurm_partition": None, "slurm_time": None, "slurm_option": None})
    cmd = zs.slurm_submit(args, str(sdir), task_file, [0])
    r = subprocess.run(["sh", cmd[-1]], env=dict(os.environ, SLURM_ARRAY_TASK_ID="0"), capture_output=True, text=True)
    assert r.returncode == 0, r.stderr


@pytest.mark.parametrize("line, known, why", [
    ("slurmstepd-n1: error: *** JOB 68 ON n1 CANCELLED AT 2026-12-09T06:06:41 DUE TO TIME LIMIT ***", False, "time limit"),
    ("slurmstepd-n1: error: *** JOB 14 ON n1 CANCELLED AT 2026-12-09T05:54:48 ***", False, "cancelled"),
    ("slurmstepd-n1: error: *** JOB 14 ON n1 CANCELLED AT 2026-12-09T05:54:48 DUE TO PREEMPTION ***", True, None),
    (None, True, "cancelled"),      # cancelled while pending: no log, and squeue no longer lists it
    (None, False, None),
])
def test_slurm_task_end_read_from_its_log(zs, tmp_path, line, known, why):
    log = tmp_path / "task-0.log"
    if line is not None:
        write(log, "gaas-...: ok \n" + line + "\n")
    got = zs.task_end(None, str(log), known)
    assert (got is None) if why is None else (why in got)
