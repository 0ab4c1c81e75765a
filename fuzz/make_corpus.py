#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/) from the test data
and from small hand-made inputs. Run it again after the test data change."""
import glob
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
TABLES = os.path.join(ROOT, "tests", "data", "tables")
DATA = os.path.join(ROOT, "data")
E2E = os.path.join(ROOT, "tests", "e2e", "cases")


def read(path):
    with open(path, "r", encoding="latin-1") as f:
        return f.read()


def write(target, name, text):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "w", encoding="latin-1") as f:
        f.write(text)


def parts(*texts):
    return "%%\n".join(t if t.endswith("\n") or t == "" else t + "\n" for t in texts)


def catalogue_line(name, mat, temp, kind, dop):
    return "%-12s    %-12s    %5s    %s    %11s\n" % (name, mat, temp, kind, dop)


MATERIAL = "0\n1\n300.\nGAAS\n1.0E17\n"
STAT_RUN = ("100\n1\n1\nchamp\n1.0\n0.0\n0.0\n0.1\n0.1\n2\n1\n10.\n"
            "dyn\n0 0\n0\n0 0\n0\ntexte\nN\ndyn\n")
DYN_RUN = ("10\n2\n0\nchamp\n1.0,2.0,2.0\n0.0\n0.0\n0.1\n0.1\n2\n1\n10.\n"
           "dyn\n1.0 5.0\n0.1\n0.01 3\n1.0\ntexte\nsptr\ndynf\n")
CATALOGUE = (catalogue_line("XXXX01", "GAASP", "300.", "E", "1.0000E+17")
             + catalogue_line("GAAS01", "GAAS", "300.", "E", "1.0000E+17")
             + catalogue_line("GAAS02", "GAAS", "300", "T", "10000000000"))

tables = sorted(glob.glob(os.path.join(TABLES, "*-bin")))

# Table file reader: the test tables as they are.
for t in tables:
    write("fuzz_table", os.path.basename(t), read(t))

# Repository search.
write("fuzz_search", "catalogue", CATALOGUE)
write("fuzz_search", "holes", catalogue_line("INP77", "INP", "77.", "T", "0.0000E+00"))
write("fuzz_search", "unreadable", "GAAS01          GAAS            3x0.    E    1.0000E+17\n"
      + CATALOGUE)

# Input stage of a run.
for t in tables:
    base = os.path.basename(t)
    write("fuzz_datafiles", "stat-" + base, parts(MATERIAL, STAT_RUN, CATALOGUE, read(t)))
    write("fuzz_datafiles", "dyn-" + base,
          parts("5\n2\n300.\nGAAS\n1.0E17\n", DYN_RUN, CATALOGUE, read(t)))

# Messages and help.
synerr, zotmer, zothlp = (read(os.path.join(DATA, n)) for n in ("synerr", "zotmer", "zothlp"))
for name, typed in (("star", "-1 -4 3 0 -2147483647\nAIDE *\n\n\n\nfin\n"),
                    ("ca", "2 -9 -14\nAIDE CA\n\n\n"),
                    ("debug", "-1000\nAIDE DEBUG\nnon\n"),
                    ("unknown", "5 -7\nAIDE NIMPORTE\n"),
                    ("batch", "-12\nBATCH CA\n")):
    write("fuzz_messages", name, parts(synerr, zotmer, zothlp, typed))
write("fuzz_messages", "short-files",
      parts("KLIP message file, level '4.1'\n2 FIN\n", "x\n", "EXIT\n--------------------\n",
            "-3 1 2\nAIDE EXIT\n"))

# Command-line fields.
for i, text in enumerate((
        "10,20\n10,,20\n10 , 20\nA;B\n; comment\n",
        "INT 1.5K 2E-3 -7 1.5KX ABC ABCDEFG A.B + - 1EGK 99999999999\n",
        "X < P 10\nINT $P,5\nNAME $Q\n",
        "< R $R\nINT $R\n",
        "DEBUG -199\n< S 3\nINT $S 1.5MEG 2MIL\nFILE a:b/c.txt LIST\nUPPER on\n",
        "OPT LIST NLIST LISTING L\nONOFF on OFF oui\n",
        "DEBUG -106\nINT x y\n")):
    write("fuzz_fields", "fields%d" % i, text)

# Whole sessions.
for case in sorted(glob.glob(os.path.join(E2E, "cmd_*"))):
    write("fuzz_session", os.path.basename(case), read(os.path.join(case, "stdin")))
for name, text in (
        ("files", parts("BIBLI a LIST\nECHO ON\nTITRE bonjour\nEXIT\n",
                        "SUBST X 10\nCONS $X\nBIBLI b\nBIBRET\n", "AIDE *\n\n\n\n")),
        ("self-include", parts("BIBLI a\nEXIT\n", "BIBLI a NLIST\nDEBUG x\n")),
        ("nested-subst", "SUBST X $X\nCONS $X\nSUBST Y $Z\nSUBST Z $Y\nCONS $Y\nQ\n"),
        ("inline", "< Y 5\nCONS $Y <Z 7\nCA\na\nb\nEXIT\n"),
        ("pager", "AIDE *\n"),
        ("batch", "BATCH\nTITRE essai\nAIDE CA\nSYNTAXE\nINTER\nSYNTAXE\n\n")):
    write("fuzz_session", name, text)

# cumavg.
for case in sorted(glob.glob(os.path.join(E2E, "cumavg_*"))):
    avirer = os.path.join(case, "setup", "run", "avirer")
    stdin = read(os.path.join(case, "stdin"))
    seed = parts(stdin, read(avirer)) if os.path.exists(avirer) else stdin
    write("fuzz_cumavg", os.path.basename(case), seed)
