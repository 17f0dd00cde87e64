#!/usr/bin/python3
"""Judges the program's salvage of damaged workbooks with independent readers (olefile, xlrd).

Usage: salvage_check.py --variants DIR --output DIR --manifest FILE [--fixtures DIR] [--goal 0.95]

DIR/salvage.json comes from salvage_damage.py; FILE is the manifest the program's run wrote
(source TAB status TAB output [TAB what was lost]). For every variant:
- "Partly recovered": the output opens in olefile (strict) and passes cfb.py's check of every
  chain, xlrd reads it, and no cell in it differs from the original's or stands where the
  original had none;
- "Repaired": the output is well-formed and xlrd reads every cell of the original from it (a
  stream may differ where the damage hit bytes past the workbook's end, which readers never read);
- "Failed": no output is left.
Per kind of damage it counts the original's cells whose bytes survived (biff.py: the cell's
record, its sheet's entry, its shared string or its formula's text) and how many of those came
back equal. Passes when every output opens, no cell is wrong, and every kind gets back at least
the goal's share. Prints the figures and "N passed, M failed".
"""
import collections
import hashlib
import io
import json
import os
import sys

import xlrd

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import biff  # noqa: E402
import check_repairs  # noqa: E402
import salvage_damage  # noqa: E402

PARTIAL = "Partly recovered"


def cell_values(path):
    """(sheet, row, col) -> (kind, value) of every cell xlrd reads; dates count as numbers."""
    book = xlrd.open_workbook(path, logfile=io.StringIO())
    values = {}
    for sheet in book.sheets():
        for r in range(sheet.nrows):
            cells = zip(sheet.row_types(r, 0, sheet.ncols), sheet.row_values(r, 0, sheet.ncols))
            for c, (kind, value) in enumerate(cells):
                if kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                if kind == xlrd.XL_CELL_DATE:
                    kind = xlrd.XL_CELL_NUMBER
                values[(sheet.name, r, c)] = (kind, value)
    return values


def records_and_values(path):
    return biff.Workbook(path), cell_values(path)


def judge_partial(path, want):
    """(cells equal to the original's, cells that are not) of a partly recovered copy."""
    check_repairs.workbook_streams(path)
    try:
        got = cell_values(path)
    except Exception as e:
        raise check_repairs.Fault("xlrd cannot read it: %s: %s" % (type(e).__name__, e))
    wrong = [(k, v, want.get(k)) for k, v in got.items() if want.get(k) != v]
    return got, wrong


def cells_back(alive, got, want, wrong):
    """How many of the cells `alive` read the same in `got` as in `want` (a cell neither has counts),
    with `wrong` judge_partial's cells of `got` that differ: set operations over the million cells
    instead of a lookup each."""
    wrong_cells = {cell for cell, _, _ in wrong}
    return (len(alive & got.keys()) - len(alive & wrong_cells)
            + len(alive - got.keys() - want.keys()))


def run(variants_dir, output_dir, manifest, fixtures_dir, goal=0.95, out=sys.stdout):
    with open(os.path.join(variants_dir, salvage_damage.DESCRIPTIONS), encoding="utf-8") as f:
        variants = json.load(f)
    rows, problems = check_repairs.read_manifest(manifest)
    originals = check_repairs.Originals(fixtures_dir, records_and_values)
    figures = collections.defaultdict(lambda: collections.Counter())
    passed = failed = 0
    for v in variants:
        kind = figures[v["kind"]]
        kind["files"] += 1
        try:
            path = os.path.join(variants_dir, v["file"])
            with open(path, "rb") as f:
                if hashlib.sha256(f.read()).hexdigest() != v["sha256"]:
                    raise check_repairs.Fault("source file was changed")
            row = rows.get(v["file"])
            if row is None:
                raise check_repairs.Fault("no manifest line")
            status, output = row[0], row[1]
            book, want = originals.get(v["original"])
            alive = book.survived(v["damaged"])
            kind["survived"] += len(alive)
            out_path = os.path.join(output_dir, output) if output else None
            if status == "Failed":
                kind["failed"] += 1
                if output and os.path.exists(out_path):
                    raise check_repairs.Fault("reported Failed but left %s" % output)
                what = "Failed, no output"
            elif status == "Repaired":
                kind["repaired"] += 1
                if not output or not os.path.isfile(out_path):
                    raise check_repairs.Fault("reported Repaired without its output (%r)" % output)
                got, wrong = judge_partial(out_path, want)
                if wrong or len(got) != len(want):
                    raise check_repairs.Fault("reported Repaired, but %d cells differ and %d are missing" % (
                        len(wrong), len(set(want) - set(got))))
                kind["recovered"] += len(alive)
                what = "Repaired: every cell of the original"
            elif status == PARTIAL:
                kind["partial"] += 1
                if not output or not check_repairs.is_output_of(output, v["file"]) or not os.path.isfile(out_path):
                    raise check_repairs.Fault("no output under an output name: %r" % output)
                got, wrong = judge_partial(out_path, want)
                back = cells_back(alive, got, want, wrong)
                kind["recovered"] += back
                kind["wrong"] += len(wrong)
                if wrong:
                    raise check_repairs.Fault("%d cells differ from the original, e.g. %s" % (len(wrong), wrong[:3]))
                what = "%s: %d of %d surviving cells back%s" % (
                    PARTIAL, back, len(alive), (" (lost: %s)" % row[2]) if len(row) > 2 and row[2] else "")
            else:
                raise check_repairs.Fault("unknown status %r" % status)
            passed += 1
            out.write("PASS %-28s %-7s %s\n" % (v["file"], v["kind"], what))
        except check_repairs.Fault as e:
            failed += 1
            kind["faults"] += 1
            out.write("FAIL %-28s %-7s %s\n" % (v["file"], v["kind"], e))
    out.write("-- per kind: cells back of those whose bytes survived\n")
    for name in salvage_damage.KINDS:
        if name not in figures:
            continue
        k = figures[name]
        share = k["recovered"] / k["survived"] if k["survived"] else 1.0
        line = "%-7s %6d of %6d (%5.1f%%), wrong %d; %d files: %d partly recovered, %d repaired, %d failed" % (
            name, k["recovered"], k["survived"], 100 * share, k["wrong"], k["files"], k["partial"], k["repaired"],
            k["failed"])
        if share < goal:
            failed += 1
            out.write("FAIL %s: under %.0f%%\n" % (line, 100 * goal))
        else:
            passed += 1
            out.write("PASS %s\n" % line)
    return check_repairs.finish(problems, passed, failed, out)


def main(argv=None):
    ap = check_repairs.arguments(__doc__.splitlines()[0])
    ap.add_argument("--goal", type=float, default=0.95)
    a = ap.parse_args(argv)
    return 0 if run(a.variants, a.output, a.manifest, a.fixtures, a.goal) else 1


if __name__ == "__main__":
    sys.exit(main())
