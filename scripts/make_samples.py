#!/usr/bin/python3
"""Writes samples/: damaged workbooks for a first try of the program, and their read-me.

Usage: make_samples.py [output folder]   (default: samples/ of the repository)

The workbooks come from tests/fixtures (written by LibreOffice Calc and Gnumeric, not by us); the
damage is done the way tests/readers/damage.py does it, so the outcome of each sample is the one
the readers' test checks. Same bytes on every run.
"""
import os
import random
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "readers"))
import damage  # noqa: E402

FIXTURES = os.path.join(ROOT, "tests", "fixtures")
WRITERS = {"lo": "LibreOffice Calc 7.4", "gn": "Gnumeric 1.12 (ssconvert)"}

# Sample name, fixture, damage tag of damage.py, what the program gives.
SAMPLES = [
    ("Budget 2026.xls", "lo_3sheets.xls", "zero32", "Repaired"),
    ("Sales by region.xls", "gn_3sheets.xls", "garbage32", "Repaired"),
    ("Inventory.xls", "lo_1cell.xls", "spaces32", "Repaired"),
    ("Price list.xls", "gn_1cell.xls", "freetail", "Repaired"),
    ("Old archive.xls", "lo_3sheets.xls", "truncated", "Partly recovered"),
]

CONTENT = {
    "3sheets": "3 sheets, about 1,000 cells (numbers, text, formulas)",
    "1cell": "1 sheet, A1 = 42",
}

README_HEAD = """# Sample damaged workbooks

Real Excel 97-2003 workbooks written by independent programs (LibreOffice Calc and Gnumeric,
copies of `tests/fixtures/`), each damaged in one of the ways files get damaged in practice. Try
them: see "Try it on the samples" in the repository's README. Made by `scripts/make_samples.py`
(same bytes on every run); do not edit them by hand.

| sample | written by | content | damage | the program gives |
| --- | --- | --- | --- | --- |
"""

README_TAIL = """
"Repaired" rows get a copy in a `Repaired` folder beside the samples (or in the folder you
chose), named `REP_<name>.xls` (or `<name>_REP.xls`); the samples themselves stay as they are.
"Old archive.xls" has lost the second half of its sectors, its tables with them: the program finds
the workbook without them and writes a new copy with the cells that survived (all of its first
sheet), says "Partly recovered", and in the last column what was lost ("Notes, Zeta": those two
sheets stay in the copy, empty).
"""


def variant(fixture, tag, seed=1729):
    with open(os.path.join(FIXTURES, fixture), "rb") as f:
        data = f.read()
    # damage.py draws its random bytes in a fixed order per fixture: one generator per fixture.
    rnd = random.Random("%d:%s" % (seed, fixture))
    for fname, content, expect, described in damage.fixture_variants(fixture, data, rnd):
        if fname.endswith("__%s.xls" % tag):
            return content, expect, described
    raise SystemExit("make_samples: %s has no variant %s" % (fixture, tag))


def main(argv):
    out = argv[1] if len(argv) > 1 else os.path.join(ROOT, "samples")
    os.makedirs(out, exist_ok=True)
    lines = []
    for name, fixture, tag, gives in SAMPLES:
        content, expect, described = variant(fixture, tag)
        if {"repaired": "Repaired", "partial": "Partly recovered", "failed": "Failed"}[expect] != gives:
            raise SystemExit("make_samples: %s (%s) is expected to be %s, not %s" % (name, tag, expect, gives))
        with open(os.path.join(out, name), "wb") as f:
            f.write(content)
        writer = WRITERS[fixture[:2]]
        kind = fixture[3:-4]
        lines.append("| %s | %s | %s | %s | %s |\n" % (name, writer, CONTENT[kind], described, gives))
    with open(os.path.join(out, "README.md"), "w", encoding="utf-8") as f:
        f.write(README_HEAD + "".join(lines) + README_TAIL)
    print("make_samples: %d workbooks in %s" % (len(SAMPLES), out))


if __name__ == "__main__":
    main(sys.argv)
