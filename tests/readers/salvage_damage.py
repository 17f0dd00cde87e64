#!/usr/bin/python3
"""Damages the fixture workbooks the ways files are damaged in practice, at several places each.

Usage: salvage_damage.py --out DIR [--fixtures DIR] [--seed N]

Kinds: cut at 3/4 and at 1/2 of the file (a download or a save interrupted), one sector of the
workbook stream zeroed, one overwritten with foreign bytes (random bytes, text, or a sector of
another workbook's stream, in turn), a 4 KiB page of the file zeroed (each at five places along
the stream), the first allocation-table sector zeroed, the first directory sector zeroed.

DIR/salvage.json lists the variants:
  {"file", "original", "kind", "damage": what was done, "damaged": [[start, end], ...] the file
   ranges whose bytes are gone or changed, "sha256"}
"""
import argparse
import hashlib
import json
import os
import random
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import biff  # noqa: E402
import damage  # noqa: E402
import olefile  # noqa: E402

DESCRIPTIONS = "salvage.json"
KINDS = ("cut75", "cut50", "zero", "foreign", "page", "fat0", "dir0")
PLACES = (0.0, 0.25, 0.5, 0.75, 1.0)
SECTOR = 512
PAGE = 4096
TEXT = (b"Quarterly figures were revised after the audit; see the notes on page 4. " * 8)[:SECTOR]


def stream_sectors(path):
    """The file sectors that hold the workbook stream, in stream order (each once)."""
    ole = olefile.OleFileIO(path)
    name = "Workbook" if ole.exists("Workbook") else "Book"
    unit, bases = biff.stream_units(ole, name)
    ole.close()
    sectors = []
    for base in bases:
        sector = base // SECTOR - 1
        if sector not in sectors:
            sectors.append(sector)
    return sectors


def variants(path, data, rnd, donor):
    """(tag, bytes, kind, description, damaged ranges) for one fixture."""
    out = []
    n = len(data)
    for kind, fraction in (("cut75", 3 / 4), ("cut50", 1 / 2)):
        cut = int(n * fraction)
        out.append((kind, data[:cut], kind, "cut at %d of %d bytes" % (cut, n), [[cut, n]]))
    sectors = stream_sectors(path)
    for k, place in enumerate(PLACES):
        sector = sectors[min(int(place * len(sectors)), len(sectors) - 1)]
        at = SECTOR * (sector + 1)
        out.append(("zero%d" % k, data[:at] + bytes(SECTOR) + data[at + SECTOR:], "zero",
                    "stream sector %d zeroed" % sector, [[at, at + SECTOR]]))
        foreign, what = [
            (bytes(rnd.getrandbits(8) for _ in range(SECTOR)), "random bytes"),
            (TEXT, "text"),
            (donor, "a sector of another workbook's stream"),
        ][k % 3]
        out.append(("foreign%d" % k, data[:at] + foreign + data[at + SECTOR:], "foreign",
                    "stream sector %d overwritten with %s" % (sector, what), [[at, at + SECTOR]]))
        page = at - at % PAGE
        end = min(page + PAGE, n)
        out.append(("page%d" % k, data[:page] + bytes(end - page) + data[end:], "page",
                    "4 KiB page at %d zeroed" % page, [[page, end]]))
    fat = struct.unpack_from("<L", data, 76)[0]
    at = SECTOR * (fat + 1)
    out.append(("fat0", data[:at] + bytes(SECTOR) + data[at + SECTOR:], "fat0",
                "first allocation-table sector (%d) zeroed" % fat, [[at, at + SECTOR]]))
    directory = struct.unpack_from("<L", data, 48)[0]
    at = SECTOR * (directory + 1)
    out.append(("dir0", data[:at] + bytes(SECTOR) + data[at + SECTOR:], "dir0",
                "first directory sector (%d) zeroed" % directory, [[at, at + SECTOR]]))
    return out


def make_variants(fixtures_dir, out_dir, seed=4111, large=(), large_kinds=("cut50", "zero", "dir0")):
    """Writes the variants and salvage.json; fixtures named in `large` get only `large_kinds`."""
    fixtures = damage.load_fixtures(fixtures_dir)
    rnd = random.Random(seed)
    os.makedirs(out_dir, exist_ok=True)
    # Foreign bytes that read as records: a middle sector of another writer's workbook stream.
    donor = os.path.join(fixtures_dir, "gn_3sheets.xls")
    if not os.path.exists(donor):
        donor = os.path.join(fixtures_dir, fixtures[0][0])
    with open(donor, "rb") as f:
        donor_data = f.read()
    donor_sectors = stream_sectors(donor)
    donor_sector = donor_sectors[len(donor_sectors) // 2]
    donor_bytes = donor_data[SECTOR * (donor_sector + 1): SECTOR * (donor_sector + 2)]
    described = []
    for name, data in fixtures:
        stem = name[:-4]
        for tag, content, kind, what, ranges in variants(os.path.join(fixtures_dir, name), data, rnd, donor_bytes):
            if name in large and (kind not in large_kinds or tag in ("zero2", "zero3", "zero4")):
                continue
            fname = "%s__%s.xls" % (stem, tag)
            with open(os.path.join(out_dir, fname), "wb") as f:
                f.write(content)
            described.append({"file": fname, "original": name, "kind": kind, "damage": what,
                              "damaged": ranges, "sha256": hashlib.sha256(content).hexdigest()})
    with open(os.path.join(out_dir, DESCRIPTIONS), "w", encoding="utf-8") as f:
        json.dump(described, f, indent=1)
        f.write("\n")
    return described


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--fixtures", default=damage.DEFAULT_FIXTURES)
    ap.add_argument("--out", required=True)
    ap.add_argument("--seed", type=int, default=4111)
    a = ap.parse_args(argv)
    described = make_variants(a.fixtures, a.out, a.seed)
    print("%d variants in %s" % (len(described), a.out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
