#!/usr/bin/env python3
"""Checks the statistics columns of corvane's CSV against statistics worked out here.

  series_stats_check.py CORVANE DATA_FILE...

Runs CORVANE --csv over each file (a copy, in a temporary directory), reads the CSV with the csv
module, reads the file's series with a plain reading of the decade format of its own (single
precision values as the program stores them), and compares every statistic of every series
found by both within 1e-5 relative or 1e-9 absolute. Exits 1 on any difference, or when fewer
than nine tenths of all the CSVs' rows are matched.
"""
import csv
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile


def f32(v):
    return struct.unpack("f", struct.pack("f", v))[0]


def ints(fields):
    out = []
    for f in fields:
        s = f.strip()
        if not s:
            return out, True
        try:
            out.append(int(s))
        except ValueError:
            return None, False
    return out, False


def read_series(path, index):
    """(id, first_year, values) of each series closed by its end marker."""
    series, cur = [], None
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").replace("\r", "\n").split("\n")
    width, idw = (7, 6) if index else (6, 8)
    for line in lines:
        head = line[idw : idw + 4]
        try:
            year = int(head)
        except ValueError:
            continue
        fields = [line[idw + 4 + width * j : idw + 4 + width * j + (4 if index else 6)]
                  for j in range(10)]
        vals, _ = ints(fields)
        if vals is None:
            continue
        ident = line[:idw]
        if cur is None or cur[0] != ident:
            cur = [ident, year, [], 0]
        ended = False
        for v in vals:
            if (index and v >= 9990) or (not index and v in (999, -9999)):
                ended = True
                break
            if not index and v < 0:  # a missing ring: a ring of width 0
                v = 0
                cur[3] += 1
            cur[2].append(f32(f32(v) * f32(0.001 if index else 0.01)))
        if ended:
            vs = cur[2]
            if not index and v == -9999:
                vs = [f32(x * f32(0.1)) for x in vs]
            signed = not index and ident[7:8] == "-"
            first = -cur[1] if signed else cur[1]
            series.append(((ident[:7] if signed else ident).strip(), first, vs, cur[3]))
            cur = None
    return series


def stats(x):
    n = len(x)
    out = dict.fromkeys(["median", "stdev", "skew", "kurtosis", "sens1", "gini", "ar1"])
    if n == 0:
        return out
    y = sorted(x)
    out["median"] = y[n // 2] if n % 2 else (y[n // 2 - 1] + y[n // 2]) / 2
    s = sum(y)
    cum, c = 0.0, 0.0
    for v in y[:-1]:
        cum += v
        c += cum
    if s != 0:
        out["gini"] = (s * (n - 1) - 2 * c) / (s * n)
    if n == 1:
        return out
    pairs = [abs(2 * (b - a) / (b + a)) if a + b != 0 else 0.0 for a, b in zip(x, x[1:])]
    out["sens1"] = sum(pairs) / (n - 1)
    m = sum(x) / n
    d = [v - m for v in x]
    s2 = sum(v * v for v in d)
    if min(x) == max(x):
        out["stdev"] = 0.0
        return out
    sd = math.sqrt(s2 / (n - 1))
    out["stdev"] = sd
    out["skew"] = sum(v ** 3 for v in d) / (n * sd ** 3)
    out["kurtosis"] = n * sum(v ** 4 for v in d) / s2 ** 2 * (1 - 1 / n) ** 2 - 3
    out["ar1"] = sum(a * b for a, b in zip(d, d[1:])) / s2
    return out


def close(got, want):
    if want is None:
        return got == ""
    if got == "":
        return False
    g = float(got)
    return abs(g - want) <= 1e-9 or abs(g - want) <= 1e-5 * abs(want)


def main():
    exe, files = os.path.abspath(sys.argv[1]), sys.argv[2:]
    bad = total = checked = 0
    with tempfile.TemporaryDirectory() as tmp:
        for path in files:
            name = os.path.basename(path)
            shutil.copy(path, os.path.join(tmp, name))
            index = name.lower().endswith(".crn")
            subprocess.run([exe, "-q", "--csv", "out.csv", name], cwd=tmp, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            with open(os.path.join(tmp, "out.csv"), newline="") as f:
                rows = list(csv.DictReader(f))
            pending = {}
            for r in rows:
                pending.setdefault((r["id"].strip(), int(r["first_year"]), int(r["n"])), []).append(r)
            matched = 0
            for ident, first, vs, missing in read_series(path, index):
                found = pending.get((ident, first, len(vs)))
                if not found:
                    continue
                r = found.pop(0)
                matched += 1
                if int(r["missing"]) != missing:
                    bad += 1
                    print(f"{name} {ident} {first}: missing {r['missing']!r}, expected {missing}")
                for k, want in stats(vs).items():
                    if not close(r[k], want):
                        bad += 1
                        print(f"{name} {ident} {first}: {k} {r[k]!r}, expected {want!r}")
            print(f"{name}: {matched} of {len(rows)} series checked")
            total += len(rows)
            checked += matched
    return 1 if bad or checked < 0.9 * total else 0


if __name__ == "__main__":
    sys.exit(main())
