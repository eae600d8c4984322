#!/usr/bin/env python3
"""Reference figures for the real data files, worked out apart from the C++ code.

Reads every file of tests/data/itrdb/ with the measurement layout ("mr") and
every file of tests/data/crn/ with the index layout ("ir"), following the
decade reader's rules one call (one series) at a time, and prints for each
file the series count and the first and last series. Then it builds the
whole-run catalogue over all itrdb files (sorted names, as one list file
would name them) and computes the time span and the optimum common interval,
both with a literal search (the 40-character records, their descending byte
order, the end-year list, every candidate with a full count) and a faster
search, and checks that the two agree.

Standard library only. Run from anywhere: python3 tests/data/figures.py
Options: --literal-only-check  run the random cross-check of the searches only.
"""

import bisect
import os
import random
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
MAX_VALUES = 10000
MAX_TEXT_LINES = 25


def f32(x):
    """Round a Python float to the nearest single-precision value."""
    return struct.unpack('<f', struct.pack('<f', x))[0]


C001 = f32(0.01)
C01 = f32(0.1)
C0001 = f32(0.001)


class Fail(Exception):
    pass


def int_field(b):
    """Integer-field rule: blanks (space only) ignored anywhere, optional sign,
    digits; all blanks = 0; anything else or outside 32 bits fails."""
    s = b.replace(b' ', b'')
    if not s:
        return 0
    sign = 1
    if s[:1] in (b'+', b'-'):
        sign = -1 if s[:1] == b'-' else 1
        s = s[1:]
    if not s or not all(48 <= c <= 57 for c in s):
        raise Fail
    v = sign * int(s)
    if v < -2**31 or v > 2**31 - 1:
        raise Fail
    return v


def split_lines(data):
    """Lines of a file: split at LF; carriage returns ending a line are dropped
    (also on a last line without LF)."""
    parts = data.split(b'\n')
    if parts and parts[-1] == b'':
        parts.pop()
    return [p.rstrip(b'\r') for p in parts]


def parse_mr(line):
    ident = line[0:8]
    year = int_field(line[8:12])
    vals = [int_field(line[12 + 6 * k:18 + 6 * k]) for k in range(10)]
    return ident, year, vals


def parse_ir(line):
    ident = line[0:6] + b'  '
    year = int_field(line[6:10])
    vals = []
    for k in range(10):
        c = 10 + 7 * k
        vals.append(int_field(line[c:c + 4]))
        int_field(line[c + 4:c + 7])  # sample count: must convert, not kept
    return ident, year, vals


class Stop(Exception):
    def __init__(self, why):
        super().__init__(why)
        self.why = why


def ir_blank(line, k):
    """Whether the four value columns of index field k (0-based) are blanks."""
    c = 10 + 7 * k
    return line[c:c + 4] == b'    '


def read_file(path, layout, mends=True):
    """Returns (series list, notes, stop) where each series is a dict and stop
    is None or the reason the run would stop.

    With mends (the reader as it now reads real files): a measurement value
    below 0 that is no end marker is a missing ring, stored as 0 (and
    counted); an index series whose first year's slot holds 9990 or more
    begins after that padding (9990s, and blanks after them), passing over
    whole lines of padding while the next line has the same ID and the next
    decade block. Without: the plain decade rules."""
    with open(path, 'rb') as fh:
        data = fh.read()
    raw = data.split(b'\n')
    lines = split_lines(data)
    notes = {
        'lines': len(lines),
        'crlf': sum(1 for p in raw if p.endswith(b'\r')),
        'crcrlf': sum(1 for p in raw if p.endswith(b'\r\r')),
        'no_final_lf': bool(data) and not data.endswith(b'\n'),
        'blank': [],          # line numbers of skipped blank lines
        'hash': [],           # '#' in column 80 before a first data line
        'text': [],           # (line number, where, text) of text lines
        'dropped_at_eof': None,
        'sign_and_dash': [],  # negative year field together with '-' in col 8
    }
    parse = parse_mr if layout == 'mr' else parse_ir
    series = []
    pos = 0
    n_lines = len(lines)
    stop = None
    try:
        while True:  # one call of the reader
            n = 0
            ntext = 0
            first = True
            values = []
            missing = 0
            ident = year = None
            done = False
            marker = None
            while not done:
                if pos >= n_lines:
                    if not first:
                        notes['dropped_at_eof'] = (ident, year, len(values))
                    return series, notes, stop
                lineno = pos + 1
                line = lines[pos][:80].ljust(80, b' ')
                pos += 1
                if line == b' ' * 80:
                    notes['blank'].append(lineno)
                    continue
                if first and line[79:80] == b'#':
                    notes['hash'].append(lineno)
                    raise Stop('self-describing hand-over at line %d (not modelled)' % lineno)
                try:
                    lid, lyear, vals = parse(line)
                except Fail:
                    ntext += 1
                    notes['text'].append((lineno, 'header' if first else 'inside series',
                                          lines[pos - 1][:80]))
                    if ntext > MAX_TEXT_LINES:
                        raise Stop('26th text line in one call, line %d' % lineno)
                    continue
                if first:
                    ident, year = lid, lyear
                    signed = -lyear if lid[7:8] == b'-' else lyear
                    if lid[7:8] == b'-' and lyear < 0:
                        notes['sign_and_dash'].append(lineno)
                    r = (signed if layout == 'mr' else lyear) % 10
                    slots = range(0, 10 - r) if layout == 'mr' else range(r, 10)
                    first = False
                    if layout == 'ir' and mends and vals[r] >= 9990:
                        # chronology padding
                        block = lyear - r
                        k = r
                        while True:
                            while k < 10 and (vals[k] >= 9990 or ir_blank(line, k)):
                                k += 1
                            if k < 10:
                                year = block + k
                                slots = range(k, 10)
                                break
                            taken = False
                            if pos < n_lines:
                                nxt = lines[pos][:80].ljust(80, b' ')
                                if nxt != b' ' * 80:
                                    try:
                                        nid, nyear, nvals = parse(nxt)
                                        taken = nid == lid and nyear == block + 10
                                    except Fail:
                                        pass
                            if not taken:
                                year = lyear   # a series of no values, this line's year
                                slots = range(0)
                                done = marker = 'padding'
                                break
                            pos += 1
                            notes.setdefault('padding_lines', []).append(lineno)
                            lineno = pos
                            line, lyear, vals = nxt, nyear, nvals
                            block += 10
                            k = 0
                else:
                    slots = range(10)
                for k in slots:
                    v = vals[k]
                    if layout == 'mr':
                        if v == -9999:
                            values = [f32(x * C01) for x in values]
                            done = marker = -9999
                            break
                        if v == 999:
                            done = marker = 999
                            break
                        if v < 0 and mends:
                            missing += 1
                            v = 0
                        x = f32(f32(v) * C001)
                    else:
                        if v >= 9990:
                            done = marker = v
                            break
                        x = f32(f32(v) * C0001)
                    if len(values) >= MAX_VALUES:
                        raise Stop('series %r exceeds %d values, line %d'
                                   % (ident, MAX_VALUES, lineno))
                    values.append(x)
            iyr = -year if ident[7:8] == b'-' else year
            if layout == 'ir':
                iyr = year
            series.append({'id': ident, 'year_field': year, 'iyr': iyr,
                           'n': len(values), 'mean': mean(values),
                           'marker': marker, 'missing': missing})
    except Stop as s:
        stop = s.why
    return series, notes, stop


def mean(values):
    if not values:
        return None
    total = 0.0
    for v in values:
        total += v          # double-precision sum of single-precision values
    return f32(f32(total) / f32(len(values)))


# ---------------------------------------------------------------- summary

def fmt_int(v, w):
    s = str(v)
    return '*' * w if len(s) > w else s.rjust(w)


def sort_record(ident, iyr, n, count):
    lyr = iyr + n - 1
    rec = (fmt_int(lyr, 5) + fmt_int(9000 - iyr, 5) + fmt_int(n, 5)
           + fmt_int(iyr, 5) + fmt_int(count, 5)).encode('ascii')
    rec += b'  ' + ident + b' ' * 5
    assert len(rec) == 40
    return rec


def prepared(cat):
    """Sorted records, read-back first/last years, end-year list.
    Returns None on a read-back failure."""
    count = len(cat)
    recs = sorted((sort_record(i, y, n, count) for i, y, n in cat), reverse=True)
    firsts, lasts = [], []
    for rec in recs:
        try:
            last = int_field(rec[0:5])
            fst = int_field(rec[15:20])
        except Fail:
            return None
        firsts.append(fst)
        lasts.append(last)
    ends = []
    for p, last in enumerate(lasts):
        if p == 0 or last != ends[-1]:
            ends.append(last)
    return firsts, lasts, ends


def span(cat):
    if not cat:
        return 0, 0
    lo = min(y for _, y, _ in cat)
    hi = max(y + n - 1 for _, y, n in cat)
    return lo, hi


def search_literal(cat):
    prep = prepared(cat)
    if prep is None:
        return None
    firsts, lasts, ends = prep
    n = len(firsts)
    best = (0, 0, 0, 0, 0)  # product, start, end, years, series
    for e in ends:
        for j in range(n):
            s = firsts[j]
            y = e - s + 1
            k = 0
            for i in range(n):
                if firsts[i] <= s and lasts[i] >= e:
                    k += 1
            if y * k > best[0]:
                best = (y * k, s, e, y, k)
    return best


def search_fast(cat):
    """Same order of candidates as the literal search; the count K comes from
    a sorted list of the first years of the series reaching E."""
    prep = prepared(cat)
    if prep is None:
        return None
    firsts, lasts, ends = prep
    # start candidates in sorted-position order, first occurrence only
    # (a repeated start gives the same product, which never replaces)
    seen = set()
    starts = []
    for s in firsts:
        if s not in seen:
            seen.add(s)
            starts.append(s)
    pairs = sorted(zip(lasts, firsts), reverse=True)  # by last year, descending
    best = (0, 0, 0, 0, 0)
    for e in ends:
        reach = sorted(f for l, f in pairs if l >= e)
        for s in starts:
            y = e - s + 1
            if y <= 0:
                continue
            k = bisect.bisect_right(reach, s)
            if y * k > best[0]:
                best = (y * k, s, e, y, k)
    return best


def random_check(rounds=3000, seed=20240611):
    rng = random.Random(seed)
    for t in range(rounds):
        n = rng.randint(1, 12)
        shape = t % 4
        cat = []
        for i in range(n):
            if shape == 0:
                iyr = rng.randint(-60, 60)
                nn = rng.randint(0, 40)
            elif shape == 1:          # few distinct years: many ties
                iyr = rng.choice([-20, -10, 0, 10])
                nn = rng.choice([0, 10, 20, 30])
            elif shape == 2:          # real-looking spans
                iyr = rng.randint(1000, 1900)
                nn = rng.randint(1, 900)
            else:                     # wide negative years
                iyr = rng.randint(-9999, 5000)
                nn = rng.randint(0, 3000)
            ident = ('S%03d' % rng.randint(0, 30)).ljust(8).encode()
            cat.append((ident, iyr, nn))
        a = search_literal(cat)
        b = search_fast(cat)
        if a != b:
            raise SystemExit('search mismatch on %r: %r vs %r' % (cat, a, b))
    return rounds


# ---------------------------------------------------------------- report

def show(v):
    return '-' if v is None else '%.3f' % v


def changes():
    """Every series whose listing (ID, IYR, LYR, N, mean) differs between the
    plain decade rules and the reader's mends, by file."""
    for sub, layout in (('itrdb', 'mr'), ('crn', 'ir')):
        d = os.path.join(HERE, sub)
        for name in sorted(os.listdir(d)):
            path = os.path.join(d, name)
            old, _, _ = read_file(path, layout, mends=False)
            new, _, _ = read_file(path, layout, mends=True)
            row = lambda s: (s['id'].decode('latin-1'), s['iyr'], s['iyr'] + s['n'] - 1,
                             s['n'], '-' if s['mean'] is None else '%.9g' % s['mean'])
            old_rows = [row(s) for s in old]
            new_rows = [row(s) for s in new]
            if old_rows == new_rows:
                continue
            print('== %s/%s: %d series, %d with the mends' % (sub, name, len(old), len(new)))
            if len(old_rows) == len(new_rows):
                for a, b, s in zip(old_rows, new_rows, new):
                    if a != b:
                        print('   %r %d-%d N=%d mean %s (listed %s) -> %d-%d N=%d mean %s '
                              '(listed %s), %d missing rings'
                              % (a[0], a[1], a[2], a[3], a[4], show(float(a[4])), b[1], b[2],
                                 b[3], b[4], show(s['mean']), s['missing']))
            else:
                for a in old_rows:
                    print('   was %r %d-%d N=%d mean %s' % a)
                for b in new_rows:
                    print('   now %r %d-%d N=%d mean %s' % b)


def main():
    if '--literal-only-check' in sys.argv:
        print('random catalogues agreeing:', random_check())
        return
    if '--changes' in sys.argv:
        changes()
        return
    cat_all = []
    cat_ok = []
    stopping = []
    for sub, layout in (('itrdb', 'mr'), ('crn', 'ir')):
        d = os.path.join(HERE, sub)
        for name in sorted(os.listdir(d)):
            path = os.path.join(d, name)
            series, notes, stop = read_file(path, layout)
            print('== %s/%s (%s): %d series' % (sub, name, layout, len(series)))
            for label, s in (('first', series[0] if series else None),
                             ('last', series[-1] if series else None)):
                if s is None:
                    continue
                print('   %-5s id=%r year_field=%d iyr=%d n=%d mean=%s'
                      % (label, s['id'].decode('latin-1'), s['year_field'], s['iyr'],
                         s['n'], show(s['mean'])))
            print('   lines=%d crlf=%d crcrlf=%d no_final_lf=%s blank=%s hash=%s'
                  % (notes['lines'], notes['crlf'], notes['crcrlf'],
                     notes['no_final_lf'], notes['blank'], notes['hash']))
            nz = sum(1 for s in series if s['n'] == 0)
            neg = sum(1 for s in series if s['id'][7:8] == b'-')
            maxn = max((s['n'] for s in series), default=0)
            print('   series with N=0: %d; with "-" in column 8: %d; longest N=%d'
                  % (nz, neg, maxn))
            if layout == 'mr':
                print('   closed by 999: %d; closed by -9999: %d'
                      % (sum(1 for s in series if s['marker'] == 999),
                         sum(1 for s in series if s['marker'] == -9999)))
            for lineno, where, text in notes['text']:
                print('   text line %d (%s): %r' % (lineno, where, text))
            if notes['sign_and_dash']:
                print('   negative year field with "-" in column 8 at', notes['sign_and_dash'])
            if notes['dropped_at_eof']:
                print('   series dropped at end of file:', notes['dropped_at_eof'])
            if stop:
                print('   RUN STOPS:', stop)
            if layout == 'mr':
                entries = [(s['id'], s['iyr'], s['n']) for s in series]
                cat_all.extend(entries)
                if stop:
                    stopping.append(name)
                else:
                    cat_ok.extend(entries)

    todo = [('all itrdb files', cat_all)]
    if stopping:
        todo.append(('itrdb files that do not stop the run (without %s)'
                     % ', '.join(stopping), cat_ok))
    for label, cat in todo:
        lo, hi = span(cat)
        best = search_fast(cat)
        print('== summary over %s: %d series' % (label, len(cat)))
        print('   time span %d to %d' % (lo, hi))
        if best is None:
            print('   read-back failure')
        else:
            prod, s, e, y, k = best
            print('   optimum %d to %d, years %d, series %d, rings %d' % (s, e, y, k, prod))
            ends = prepared(cat)[2]
            print('   distinct last years %d, rings in all %d'
                  % (len(ends), sum(n for _, _, n in cat)))
    if stopping:
        print('== files that stop a run:', ', '.join(stopping))

    # cross-checks of the fast search against the literal one
    print('== cross-check: random catalogues agreeing:', random_check())
    for name in ('wwr.rwl', 'cana209.rwl', 'nm580l.rwl', 'min.rwl'):
        ser, _, stop = read_file(os.path.join(HERE, 'itrdb', name), 'mr')
        cat = [(s['id'], s['iyr'], s['n']) for s in ser]
        a, b = search_literal(cat), search_fast(cat)
        print('   %s: literal %r fast %r %s' % (name, a, b, 'agree' if a == b else 'DIFFER'))
        if a != b:
            raise SystemExit(1)
    if '--full-literal' in sys.argv:
        a = search_literal(cat_all)
        print('   whole run literal %r %s' % (a, 'agree' if a == search_fast(cat_all) else 'DIFFER'))


if __name__ == '__main__':
    main()
