#!/usr/bin/python3
"""Checks the program's repairs of damaged workbooks with independent readers (olefile, xlrd).

Usage: check_repairs.py --variants DIR --output DIR --manifest FILE [--fixtures DIR]

DIR/variants.json comes from damage.py. FILE has one line per source file:
  <source file name> TAB <Repaired|Failed> TAB <output file name or empty>
A Repaired output must be a well-formed compound file (olefile in strict mode and cfb.py's
check of every chain) whose streams are the original workbook's, and xlrd must read the original
cells from it. A Partly recovered output must be well-formed too, and xlrd must read from it some
of the original's cells and no cell the original does not hold. A Failed source must leave no
output. The description files, if the driver took them as sources, must be Failed.
Prints one line per variant and "N passed, M failed"; exits 1 on any failure.
"""
import argparse
import hashlib
import io
import json
import os
import re
import sys

import olefile
import xlrd

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cfb  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_FIXTURES = os.path.normpath(os.path.join(HERE, "..", "fixtures"))
DESCRIPTIONS = "variants.json"
# The salvage check's description file may share the variants' folder.
OTHER_DESCRIPTIONS = ("salvage.json",)
PARTIAL = "Partly recovered"


class Fault(Exception):
    pass


def read_manifest(path):
    rows = {}
    problems = []
    with open(path, "r", encoding="utf-8-sig", newline="") as f:
        for n, line in enumerate(f.read().splitlines(), 1):
            if not line.strip():
                continue
            parts = line.split("\t")
            while len(parts) < 4:
                parts.append("")
            if len(parts) != 4:
                problems.append("manifest line %d is not 'source<TAB>status<TAB>output[<TAB>lost]': %r" % (n, line))
                continue
            src, status, out, lost = parts
            if src in rows:
                problems.append("manifest names %s twice" % src)
                continue
            rows[src] = (status, out, lost)
    return rows, problems


def output_patterns(source):
    """Names the program may give the output of `source`: REP_name, REP_(n)name, stem_REP.ext."""
    stem, ext = os.path.splitext(source)
    return [re.compile(r"^REP_(\(\d+\))?" + re.escape(source) + r"$", re.IGNORECASE),
            re.compile(r"^" + re.escape(stem) + r"_REP(_?\(\d+\))?" + re.escape(ext) + r"$", re.IGNORECASE)]


def is_output_of(name, source):
    return any(p.match(name) for p in output_patterns(source))


def open_strict(path):
    try:
        return olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    except Exception as e:  # olefile raises IOError, OSError, struct.error, IndexError...
        raise Fault("olefile (strict) rejects it: %s: %s" % (type(e).__name__, e))


def streams(ole):
    """{path: bytes} of every stream."""
    result = {}
    try:
        entries = ole.listdir(streams=True, storages=False)
    except Exception as e:
        raise Fault("olefile (strict) rejects its directory: %s: %s" % (type(e).__name__, e))
    for entry in entries:
        name = "/".join(entry)
        try:
            result[name] = ole.openstream(entry).read()
        except Exception as e:
            raise Fault("stream %s unreadable: %s" % (name, e))
    return result


def check_structure(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        cfb.check(data)
    except cfb.Malformed as e:
        raise Fault("not a well-formed compound file: %s" % e)


def cells(path):
    log = io.StringIO()
    try:
        book = xlrd.open_workbook(path, logfile=log)
    except Exception as e:
        raise Fault("xlrd cannot read it: %s: %s" % (type(e).__name__, e))
    # A row at a time: a cell at a time costs two calls a cell on books of hundreds of thousands.
    return [(s.name, s.nrows, s.ncols,
             [list(zip(s.row_types(r, 0, s.ncols), s.row_values(r, 0, s.ncols))) for r in range(s.nrows)])
            for s in book.sheets()]


def compare_cells(got, want):
    if [g[0] for g in got] != [w[0] for w in want]:
        raise Fault("sheet names %s, expected %s" % ([g[0] for g in got], [w[0] for w in want]))
    for (name, nr, nc, rows), (_, wnr, wnc, wrows) in zip(got, want):
        if (nr, nc) != (wnr, wnc):
            raise Fault("sheet %s is %dx%d, expected %dx%d" % (name, nr, nc, wnr, wnc))
        for r in range(nr):
            for c in range(nc):
                if rows[r][c] != wrows[r][c]:
                    raise Fault("sheet %s cell (%d,%d) is %r, expected %r" % (name, r, c, rows[r][c], wrows[r][c]))


def streams_and_cells(path):
    ole = open_strict(path)
    try:
        st = streams(ole)
    finally:
        ole.close()
    return st, cells(path)


class Originals:
    """The undamaged fixtures, each read once by `load` (by default its streams and its cells)."""

    def __init__(self, folder, load=streams_and_cells):
        self.folder = folder
        self.load = load
        self.cache = {}

    def get(self, name):
        if name not in self.cache:
            self.cache[name] = self.load(os.path.join(self.folder, name))
        return self.cache[name]


def workbook_streams(out_path):
    """The streams of an output that cfb.py and olefile (strict) both take, with a workbook among them."""
    check_structure(out_path)
    ole = open_strict(out_path)
    try:
        if not (ole.exists("Workbook") or ole.exists("Book")):
            raise Fault("no Workbook or Book stream")
        return streams(ole)
    finally:
        ole.close()


def check_repaired(out_path, original, originals):
    got_streams = workbook_streams(out_path)
    if original is None:
        raise Fault("reported Repaired, but this file never held a workbook")
    want_streams, want_cells = originals.get(original)
    if sorted(got_streams) != sorted(want_streams):
        raise Fault("streams %s, expected %s" % (sorted(got_streams), sorted(want_streams)))
    for name in want_streams:
        if got_streams[name] != want_streams[name]:
            raise Fault("stream %s differs from the original" % name)
    compare_cells(cells(out_path), want_cells)


def flat_cells(values):
    """{(sheet, row, col): (kind, value)} of cells(), dates counted as numbers, empty ones left out."""
    flat = {}
    for name, nr, nc, rows in values:
        for r in range(nr):
            for c in range(nc):
                kind, value = rows[r][c]
                if kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                flat[(name, r, c)] = (xlrd.XL_CELL_NUMBER if kind == xlrd.XL_CELL_DATE else kind, value)
    return flat


def check_partial(out_path, original, originals):
    """A salvaged copy: well-formed, readable, some of the original's cells and nothing else."""
    workbook_streams(out_path)
    if original is None:
        raise Fault("reported %s, but this file never held a workbook" % PARTIAL)
    got = flat_cells(cells(out_path))
    want = flat_cells(originals.get(original)[1])
    wrong = [(k, v, want.get(k)) for k, v in sorted(got.items()) if want.get(k) != v]
    if wrong:
        raise Fault("%d cells differ from the original, e.g. %s" % (len(wrong), wrong[:3]))
    if not got:
        raise Fault("a partly recovered copy without a single cell")
    return len(got), len(want)


def check_one(v, row, variants_dir, output_dir, originals, output_names):
    src = v["file"]
    path = os.path.join(variants_dir, src)
    if not os.path.isfile(path):
        raise Fault("source file is gone")
    with open(path, "rb") as f:
        if hashlib.sha256(f.read()).hexdigest() != v["sha256"]:
            raise Fault("source file was changed")
    if row is None:
        raise Fault("no manifest line")
    status, out = row[0], row[1]
    mine = [n for n in output_names if is_output_of(n, src)]
    if status == PARTIAL:
        if v["expect"] != "partial":
            raise Fault("reported %s, expected %s" % (PARTIAL, v["expect"].capitalize()))
        if not out or not is_output_of(out, src) or not os.path.isfile(os.path.join(output_dir, out)):
            raise Fault("reported %s without its output (%r)" % (PARTIAL, out))
        back, of = check_partial(os.path.join(output_dir, out), v["original"], originals)
        return "%s -> %s: %d of %d cells as in %s, none other" % (PARTIAL, out, back, of, v["original"])
    if status == "Repaired":
        if v["expect"] in ("failed", "partial"):
            why = "output missing"
            if out and os.path.isfile(os.path.join(output_dir, out)):
                try:
                    check_repaired(os.path.join(output_dir, out), v["original"], originals)
                    why = "yet the output reads as the original"
                except Fault as e:
                    why = str(e)
            raise Fault("reported Repaired, expected %s (%s)" % (v["expect"].capitalize(), why))
        if not out:
            raise Fault("reported Repaired without an output name")
        if not is_output_of(out, src):
            raise Fault("output name %r is not an output name of %s" % (out, src))
        out_path = os.path.join(output_dir, out)
        if not os.path.isfile(out_path):
            raise Fault("output %s does not exist" % out)
        check_repaired(out_path, v["original"], originals)
        return "Repaired -> %s: cells and streams as in %s" % (out, v["original"])
    if status == "Failed":
        if v["expect"] != "failed":
            raise Fault("reported Failed, expected %s" % ("Repaired" if v["expect"] == "repaired" else PARTIAL))
        if out and os.path.exists(os.path.join(output_dir, out)):
            raise Fault("reported Failed but left %s" % out)
        if mine:
            raise Fault("reported Failed but left %s" % ", ".join(mine))
        return "Failed, no output left"
    raise Fault("unknown status %r" % status)


def run(variants_dir, output_dir, manifest, fixtures_dir, out=sys.stdout, others=()):
    """`others`: sources in the manifest that another check judges (their outputs are theirs)."""
    with open(os.path.join(variants_dir, DESCRIPTIONS), encoding="utf-8") as f:
        variants = json.load(f)
    rows, problems = read_manifest(manifest)
    output_names = sorted(os.listdir(output_dir)) if os.path.isdir(output_dir) else []
    manifest_abs = os.path.abspath(manifest)
    originals = Originals(fixtures_dir)
    passed = failed = 0
    for v in variants:
        try:
            what = check_one(v, rows.get(v["file"]), variants_dir, output_dir, originals, output_names)
            passed += 1
            out.write("PASS %-32s %-8s %s\n" % (v["file"], v["expect"], what))
        except Fault as e:
            failed += 1
            out.write("FAIL %-32s %-8s %s\n" % (v["file"], v["expect"], e))
    # A driver that takes every file of the folder also repairs the description file: that must fail.
    if DESCRIPTIONS in rows:
        status, o = rows.pop(DESCRIPTIONS)[:2]
        left = [n for n in output_names if is_output_of(n, DESCRIPTIONS)]
        if status != "Failed" or left:
            problems.append("%s (not a workbook) reported %s%s" % (
                DESCRIPTIONS, status, ", left " + ", ".join(left) if left else ""))
        else:
            passed += 1
            out.write("PASS %-32s %-8s Failed, no output left\n" % (DESCRIPTIONS, "failed"))
    for name in OTHER_DESCRIPTIONS:
        if name in rows:
            status, o = rows.pop(name)[:2]
            left = [n for n in output_names if is_output_of(n, name)]
            if status != "Failed" or left:
                problems.append("%s (not a workbook) reported %s" % (name, status))
    known = {v["file"] for v in variants} | set(others)
    for src in sorted(set(rows) - known):
        problems.append("manifest names %s, which is not a variant" % src)
    # Every file in the output folder must be the output of a Repaired or partly recovered line:
    # anything else is a working copy or a failed output left behind.
    written = ("Repaired", PARTIAL)
    claimed = {o for s, o, _ in rows.values() if s in written and o}
    counts = {}
    for s, o, _ in rows.values():
        if s in written and o:
            counts[o] = counts.get(o, 0) + 1
    for o, n in sorted(counts.items()):
        if n > 1:
            problems.append("%d sources claim the same output %s" % (n, o))
    for name in output_names:
        full = os.path.abspath(os.path.join(output_dir, name))
        if name not in claimed and full != manifest_abs:
            problems.append("output folder holds %s, which no Repaired line names" % name)
    return finish(problems, passed, failed, out)


def finish(problems, passed, failed, out):
    """Counts the problems left as failures and ends with the "N passed, M failed" line."""
    for p in problems:
        failed += 1
        out.write("FAIL %s\n" % p)
    out.write("%d passed, %d failed\n" % (passed, failed))
    return failed == 0


def arguments(description):
    """The command line both checks take: the variants, the outputs, the manifest, the fixtures."""
    ap = argparse.ArgumentParser(description=description)
    ap.add_argument("--variants", required=True)
    ap.add_argument("--output", required=True)
    ap.add_argument("--manifest", required=True)
    ap.add_argument("--fixtures", default=DEFAULT_FIXTURES)
    return ap


def main(argv=None):
    a = arguments(__doc__.splitlines()[0]).parse_args(argv)
    return 0 if run(a.variants, a.output, a.manifest, a.fixtures) else 1


if __name__ == "__main__":
    sys.exit(main())
