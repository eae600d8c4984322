#!/usr/bin/env python3
"""Expected findings of a check of the real data files, worked out apart from the C++ code.

Reads every file of tests/data/itrdb/ as measurements ("mr") and every file of
tests/data/crn/ as chronologies ("ir"), one call of the decade reader (one
series) at a time, by the reader's rules, and applies the definitions of the
findings of a check to what it reads. Prints, per file, each finding as
"LINE SEVERITY CODE  detail", then the file's totals; `--cpp` prints the
findings as the initialiser lines of the C++ test (tests/check/real_files_test.cpp).

Standard library only. Run from anywhere: python3 tests/data/check_findings.py
Also: python3 tests/data/check_findings.py [--rrw|--crn] FILE...  for other files.

The reader's rules as applied here:
- lines end at LF, or at a run of CRs with or without one LF after it; a UTF-8
  byte-order mark at the start is skipped; lines are numbered from 1;
- each line is taken as its first 80 characters padded with blanks; a line of
  blanks only in those columns is passed over (no data, no text);
- "mr": ID columns 1-8, year 9-12, ten values of 6 columns from 13;
  "ir": ID 1-6, year 7-10, ten pairs of a 4-column value and a 3-column count
  from 11; every numeric field by the integer-field rule (blanks anywhere
  ignored, optional sign, digits; all blanks 0; anything else fails);
- a line with a failing field is a text line; the 26th in one call is where a
  run stops (the check counts again from 0);
- a series' first data line gives its ID and year; "mr" takes slots 1..10-r of
  it (r = signed year mod 10, the sign from a "-" in column 8), "ir" slots r+1..10;
  later lines all ten; the first marker (mr: 999 or -9999; ir: 9990 or more)
  in the slots taken ends the series; a file ending in a series drops it;
- "mr": a value below 0 that is no marker is a missing ring (width 0);
- "ir": a first line whose first year's slot holds 9990 or more begins with
  padding: that slot and those after it that hold 9990 or more or are blank
  are passed over up to the first other value; a line of padding only is
  passed over when the next line converts, is not blank, has the same ID
  (columns 1-6) and the year of the next decade block, and that line is then
  taken from its slot 1 on by the same rule (9990s and blanks alike padding);
  otherwise the series has no values (the empty-series finding).
A "#" in column 80 before a series (the self-describing layout) is not modelled:
the script says so and stops, since no real file has one.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
MAX_TEXT_LINES = 25
MAX_VALUES = 10000

ORDER = ['open', 'text-limit', 'too-long', 'sd-bad-count', 'catalogue-full',
         'text-in-series', 'damaged-first-line', 'decade-step', 'id-change', 'unterminated', 'duplicate-id',
         'negative-value', 'empty-series', 'after-marker', 'ignored-slot', 'blank-value',
         'embedded-blank', 'zero-line', 'sd-bad-value', 'sd-early-end', 'sd-bad-format',
         'beyond-80', 'year-in-id', 'mixed-precision']
SEVERITY = {c: 'error' for c in ORDER[:5]}
SEVERITY.update({c: 'warning' for c in ORDER[5:21]})
SEVERITY.update({c: 'note' for c in ORDER[21:]})


class NotModelled(Exception):
    pass


def split_lines(data):
    """The line-end rule: LF, or a run of CRs with or without one LF after it."""
    if data.startswith(b'\xef\xbb\xbf'):
        data = data[3:]
    lines, cur, i, n = [], bytearray(), 0, len(data)
    while i < n:
        c = data[i]
        if c == 0x0A:
            lines.append(bytes(cur))
            cur = bytearray()
            i += 1
        elif c == 0x0D:
            lines.append(bytes(cur))
            cur = bytearray()
            while i < n and data[i] == 0x0D:
                i += 1
            if i < n and data[i] == 0x0A:
                i += 1
        else:
            cur.append(c)
            i += 1
    if cur:
        lines.append(bytes(cur))
    return lines


def int_field(b):
    """The integer-field rule; None when the field fails."""
    s = b.replace(b' ', b'')
    if not s:
        return 0
    sign = 1
    if s[:1] in (b'+', b'-'):
        sign = -1 if s[:1] == b'-' else 1
        s = s[1:]
    if not s or not all(48 <= c <= 57 for c in s):
        return None
    v = sign * int(s)
    if v < -2**31 or v > 2**31 - 1:
        return None
    return v


def fields_of(layout):
    """(name, start, width) of every numeric field, in column order (0-based)."""
    if layout == 'mr':
        out = [('year', 8, 4)]
        out += [('value', 12 + 6 * k, 6) for k in range(10)]
        return out
    out = [('year', 6, 4)]
    for k in range(10):
        out += [('value', 10 + 7 * k, 4), ('count', 14 + 7 * k, 3)]
    return out


def value_span(layout, k):
    return (12 + 6 * k, 6) if layout == 'mr' else (10 + 7 * k, 4)


def is_marker(layout, v):
    return v in (999, -9999) if layout == 'mr' else v >= 9990


def blank_field(b):
    return b.strip(b' ') == b''


def has_embedded_blank(b):
    """Digits separated by blanks: a blank between the first and the last digit."""
    digits = [i for i, c in enumerate(b) if 48 <= c <= 57]
    return bool(digits) and b' ' in b[digits[0]:digits[-1]]


def check_file(path, layout):
    """Returns (findings, series delivered); each finding is (line, code, detail)."""
    with open(path, 'rb') as fh:
        lines = split_lines(fh.read())
    F = []
    add = lambda line, code, detail='': F.append((line, code, detail))
    fields = fields_of(layout)
    pos = 0
    delivered = 0
    seen_ids = {}           # ID as compared -> first line of the first series with it
    file_marker = None      # the marker of the file's first decade series (mr)
    mixed_told = False
    id_width = 8 if layout == 'mr' else 6

    def converts(line):
        return all(int_field(line[s:s + w]) is not None for (_, s, w) in fields)

    def padding_at(line, values, k):
        return values[k] >= 9990 or blank_field(line[10 + 7 * k:14 + 7 * k])

    def next_block_line(ident_cols, block):
        """Whether the line at pos goes on with padding of the same series."""
        if pos >= len(lines):
            return False
        nxt = lines[pos][:80].ljust(80, b' ')
        return (nxt != b' ' * 80 and converts(nxt) and nxt[0:6] == ident_cols and
                int_field(nxt[6:10]) == block + 10)

    while True:             # one call of the reader
        text_lines = 0
        text_before = None  # (line number, columns) of the text line before the series
        padding_block = None  # the block of a line of padding passed over
        first_line = None
        prev = None         # (signed year, ID) of the previous data line of the series
        n = 0
        too_long = False
        series_id = None
        first_year = None
        ended = False
        while not ended:
            if pos >= len(lines):
                if first_line is not None:
                    add(first_line, 'unterminated', series_id)
                F.sort(key=lambda f: (f[0], ORDER.index(f[1])))
                return F, delivered
            raw = lines[pos]
            pos += 1
            at = pos
            line = raw[:80].ljust(80, b' ')
            if line == b' ' * 80:
                continue
            if n == 0 and first_line is None and line[79:80] == b'#':
                raise NotModelled('self-describing series at line %d' % at)
            vals = [int_field(line[s:s + w]) for (_, s, w) in fields]
            if any(v is None for v in vals):
                if first_line is None:
                    text_before = (at, line)
                if first_line is not None:
                    bad = next(f for f, v in zip(fields, vals) if v is None)
                    add(at, 'text-in-series', '%s field %r' % (bad[0], line[bad[1]:bad[1] + bad[2]]))
                text_lines += 1
                if text_lines > MAX_TEXT_LINES:
                    add(at, 'text-limit')
                    text_lines = 0
                continue
            year = vals[0]
            values = vals[1:] if layout == 'mr' else vals[1::2]
            ident = bytearray(line[0:8] if layout == 'mr' else line[0:6] + b'  ')
            if layout == 'mr' and ident[7:8] == b'-':
                ident[7:8] = b' '
                signed = -year
            else:
                signed = year
            ident = bytes(ident)
            first = first_line is None
            if first:
                first_line, series_id, first_year = at, ident, signed
                r = signed % 10
                take = range(0, 10 - r) if layout == 'mr' else range(r, 10)
                if text_before is not None:
                    t_at, t_line = text_before
                    t_year = int_field(t_line[id_width:id_width + 4])
                    if t_year is not None and t_line[0:id_width] == line[0:id_width]:
                        if layout == 'mr' and t_line[7:8] == b'-':
                            t_year = -t_year
                        if t_year - t_year % 10 == signed - signed % 10 - 10:
                            add(t_at, 'damaged-first-line', 'year %d' % t_year)
                if layout == 'ir' and values[r] >= 9990:
                    padding_block = signed - r
                    from_slot = r
            elif padding_block is not None:
                padding_block += 10
                from_slot = 0
            else:
                take = range(10)
            force_end = None
            if padding_block is not None:
                k = from_slot
                while k < 10 and padding_at(line, values, k):
                    k += 1
                if k < 10:
                    take = range(k, 10)
                    padding_block = None
                elif next_block_line(line[0:6], padding_block):
                    take = range(10, 10)   # all padding: the series goes on below
                else:
                    take = range(from_slot, 10)  # a series of no values ends here
                    force_end = from_slot
                    padding_block = None
            zero = (year == 0 and all(v == 0 for v in values) and
                    not any(0x21 <= c <= 0x7E for c in line[0:8 if layout == 'mr' else 6]))
            if zero:
                add(at, 'zero-line')
            else:
                if prev is not None:
                    expected = prev[0] - prev[0] % 10 + 10
                    if signed != expected:
                        add(at, 'decade-step', 'expected %d, says %d' % (expected, signed))
                    if ident != prev[1]:
                        add(at, 'id-change', '%r after %r' % (ident, prev[1]))
                prev = (signed, ident)
            # The slots taken, up to the first marker.
            end = force_end
            for k in take:
                if end is None and is_marker(layout, values[k]):
                    end = k
                    break
            stored = [k for k in take if end is None or k < end]
            if not too_long and n + len(stored) > MAX_VALUES:
                add(at, 'too-long')
                too_long = True
            n += len(stored)
            text = lambda k: line[value_span(layout, k)[0]:sum(value_span(layout, k))]
            negative = [k for k in stored if values[k] < 0]
            if negative:
                add(at, 'negative-value', '%d, first %r' % (len(negative), text(negative[0])))
            if first and end is not None and end == take.start:
                add(at, 'empty-series')
            if end is not None:
                after = [k for k in range(end + 1, 10)
                         if not is_marker(layout, values[k]) and not blank_field(text(k))]
                if after:
                    add(at, 'after-marker', '%d, first %r' % (len(after), text(after[0])))
            if first:
                if layout == 'mr':
                    skipped = [] if end is not None else range(take[-1] + 1, 10)
                    ignored = [k for k in skipped if not blank_field(text(k))]
                else:
                    ignored = [k for k in range(0, take.start)
                               if not is_marker(layout, values[k]) and not blank_field(text(k))]
                if ignored:
                    add(at, 'ignored-slot', '%d, first %r' % (len(ignored), text(ignored[0])))
            blanks = [] if zero else [k for k in stored if blank_field(text(k))]
            if blanks:
                add(at, 'blank-value', '%d' % len(blanks))
            embedded = [f for f in fields if has_embedded_blank(line[f[1]:f[1] + f[2]])]
            if embedded:
                f = embedded[0]
                add(at, 'embedded-blank', '%d, first %r' % (len(embedded), line[f[1]:f[1] + f[2]]))
            if len(raw) > 80 and raw[80:].strip(b' '):
                add(at, 'beyond-80')
            if first and layout == 'mr' and 48 <= line[7] <= 57:
                add(at, 'year-in-id', repr(line[0:8]))
            if end is not None:
                ended = True
                if layout == 'mr':
                    marker = values[end]
                    if file_marker is None:
                        file_marker = marker
                    elif marker != file_marker and not mixed_told:
                        mixed_told = True
                        add(at, 'mixed-precision', 'closed by %d after %d' % (marker, file_marker))
        if too_long:
            continue        # where a run stops: the series is not delivered
        delivered += 1
        if series_id in seen_ids:
            add(first_line, 'duplicate-id', 'first on line %d' % seen_ids[series_id])
        else:
            seen_ids[series_id] = first_line


def real_files():
    for sub, layout in (('itrdb', 'mr'), ('crn', 'ir')):
        folder = os.path.join(HERE, sub)
        for name in sorted(os.listdir(folder)):
            yield '%s/%s' % (sub, name), os.path.join(folder, name), layout


def main(argv):
    cpp = '--cpp' in argv
    forced = 'mr' if '--rrw' in argv else 'ir' if '--crn' in argv else None
    named = [a for a in argv if not a.startswith('--')]
    if named:
        todo = [(p, p, forced or ('ir' if p.lower().endswith('.crn') else 'mr')) for p in named]
    else:
        todo = list(real_files())
    totals = {'error': 0, 'warning': 0, 'note': 0}
    series = 0
    for label, path, layout in todo:
        findings, delivered = check_file(path, layout)
        series += delivered
        for line, code, _ in findings:
            totals[SEVERITY[code]] += 1
        if cpp:
            pairs = ', '.join('{%d, "%s"}' % (line, code) for line, code, _ in findings)
            print('    {"%s", %d, {%s}},' % (label, delivered, pairs))
            continue
        print('%s (%s): %d series, %d findings' % (label, layout, delivered, len(findings)))
        for line, code, detail in findings:
            print('  %6d %-7s %-15s %s' % (line, SEVERITY[code], code, detail))
    if not cpp:
        print('%d files, %d series: %d errors, %d warnings, %d notes'
              % (len(todo), series, totals['error'], totals['warning'], totals['note']))


if __name__ == '__main__':
    main(sys.argv[1:])
