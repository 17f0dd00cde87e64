#!/usr/bin/python3
"""Writes damaged copies of the fixture workbooks, the way files get damaged in practice.

Usage: damage.py --out DIR [--fixtures DIR] [--seed N]

Every variant is described in DIR/variants.json, a list of
  {"file": name, "original": fixture name or null, "expect": "repaired" | "partial" | "failed",
   "damage": what was done, "sha256": hash of the variant as written}
"repaired": the original cells are readable again after the 32-byte header patch, or after the
header's variable fields are rebuilt from the file's other sectors.
"partial": the workbook cannot be made whole, but some of its cells survived (biff.py tells which):
a salvaged copy holds them.
"failed": nothing this repair does can give back a readable workbook, nor any of its cells.
No variant needs "either": every one of them has one sound outcome.
"""
import argparse
import hashlib
import json
import os
import random
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_FIXTURES = os.path.normpath(os.path.join(HERE, "..", "fixtures"))

SIGNATURE = bytes.fromhex("D0CF11E0A1B11AE1")
# What the repair writes at offset 0.
HEADER_PATCH = SIGNATURE + bytes(16) + bytes.fromhex("3E000300FEFF0900")
assert len(HEADER_PATCH) == 32

FREESECT = 0xFFFFFFFF
MIN_SIZE = 550  # copies shorter than this fail


def salvage_expectation(path, damaged):
    """"partial" when some cell of the workbook at `path` survives the damaged file ranges."""
    import biff
    return "partial" if biff.Workbook(path).survived(damaged) else "failed"


def fat_entry(data, sector):
    """The FAT entry of a sector of a v3 file, read through the header's DIFAT (first 109 FAT sectors)."""
    per = 128
    idx, off = divmod(sector, per)
    if idx >= 109:
        return None
    fat_sector = struct.unpack_from("<L", data, 76 + 4 * idx)[0]
    if fat_sector >= 0xFFFFFFFA:
        return FREESECT  # not covered by any FAT sector: free
    pos = 512 + fat_sector * 512 + off * 4
    if pos + 4 > len(data):
        return None
    return struct.unpack_from("<L", data, pos)[0]


# The header sector lost in part or whole: the rest of the file still says what it held.
HEADER_LOSS = ("zero512", "garbage512", "spaces44", "garbage44")


def fixture_variants(name, data, rnd, only=None, folder=DEFAULT_FIXTURES):
    """(suffix, bytes, expect, damage) for one fixture; `only` limits the kinds of damage."""
    stem = name[:-4] if name.lower().endswith(".xls") else name
    out = []

    def add(tag, content, expect, damage):
        if only is None or tag in only:
            out.append(("%s__%s.xls" % (stem, tag), content, expect, damage))

    add("zero32", bytes(32) + data[32:], "repaired", "first 32 bytes zeroed")
    add("garbage32", bytes(rnd.getrandbits(8) for _ in range(32)) + data[32:], "repaired",
        "first 32 bytes random")
    add("spaces32", b" " * 32 + data[32:], "repaired", "bytes 0-31 overwritten with spaces")
    # Bytes 32-33 (mini sector shift) stay spaces after a 32-byte patch; the rebuilt header mends them.
    add("spaces24_33", data[:24] + b" " * 10 + data[34:], "repaired",
        "bytes 24-33 (versions, byte order, sector shifts) overwritten with spaces")
    add("zero512", bytes(512) + data[512:], "repaired", "first 512 bytes zeroed: header gone")
    add("garbage512", bytes(rnd.getrandbits(8) for _ in range(512)) + data[512:], "repaired",
        "first 512 bytes random")
    add("spaces44", data[:44] + b" " * 468 + data[512:], "repaired",
        "bytes 44-511 (table counts and starts, table sector list) overwritten with spaces")
    add("garbage44", data[:44] + bytes(rnd.getrandbits(8) for _ in range(468)) + data[512:], "repaired",
        "bytes 44-511 random")
    # The directory (LibreOffice) or the FAT (Gnumeric) sits at the end, so half a file is lost:
    # what survives of the workbook can only be salvaged.
    cut = (len(data) // 2) & ~511
    tail = bytes(rnd.getrandbits(8) for _ in range(512))
    if only is None or "truncated" in only:
        add("truncated", data[:cut], salvage_expectation(os.path.join(folder, name), [[cut, len(data)]]),
            "second half cut off")
    # The last sector is live (directory or FAT) in every fixture: the tables are lost with it.
    if only is None or "tailgarbage" in only:
        add("tailgarbage", data[:-512] + tail,
            salvage_expectation(os.path.join(folder, name), [[len(data) - 512, len(data)]]),
            "last 512 bytes random")
    # A free sector appended (slack from a copy tool), plus a zeroed header: the tail block may land
    # on it and the cells must survive.
    nsect = (len(data) - 512) // 512
    if len(data) % 512 == 0 and fat_entry(data, nsect) == FREESECT:
        slack = bytes(rnd.getrandbits(8) for _ in range(512))
        add("freetail", bytes(32) + data[32:] + slack, "repaired",
            "first 32 bytes zeroed and a free sector of random bytes appended")
    if only is None or "undamaged" in only:
        out.append((name, data, "repaired", "undamaged"))
    return out


HTML = """<html><head><meta charset="utf-8"><title>Export</title></head><body>
<table border="1"><tr><th>Item</th><th>Qty</th><th>Price</th></tr>
<tr><td>Bolts</td><td>120</td><td>0.15</td></tr>
<tr><td>Nuts</td><td>300</td><td>0.07</td></tr>
<tr><td>Washers</td><td>75</td><td>0.02</td></tr></table></body></html>
"""

CSV = "Item;Qty;Price\r\nBolts;120;0.15\r\nNuts;300;0.07\r\nWashers;75;0.02\r\n"


def standalone_variants(fixtures, rnd):
    """Files that never were workbooks, or are too short to be one."""
    out = [
        ("html_table.xls", HTML.encode("utf-8"), "failed", "HTML table saved as .xls"),
        ("csv_text.xls", CSV.encode("utf-8"), "failed", "CSV text saved as .xls"),
        ("size_0.xls", b"", "failed", "empty file"),
        ("size_31.xls", bytes(rnd.getrandbits(8) for _ in range(31)), "failed", "31 random bytes"),
        ("size_32_zero.xls", bytes(32), "failed", "32 zero bytes"),
        ("size_549.xls", bytes(rnd.getrandbits(8) for _ in range(549)), "failed", "549 random bytes"),
        ("size_550_zero.xls", bytes(550), "failed", "550 zero bytes"),
        ("size_550_random.xls", bytes(rnd.getrandbits(8) for _ in range(550)), "failed",
         "550 random bytes"),
    ]
    # The head of a real workbook: a valid header with no sectors behind it.
    if fixtures:
        name, data = fixtures[0]
        out.append(("size_549_head.xls", data[:549], "failed", "first 549 bytes of %s" % name))
        out.append(("size_550_head.xls", data[:550], "failed", "first 550 bytes of %s" % name))
    return out


# Names a user can have, in scripts the ANSI code page of the tests lacks, with a surrogate pair,
# combining marks, full-width separators and the characters a command line or markup would read.
USER_NAMES = ["Отчёт за май", "Προϋπολογισμός", "销售报表", "Budget \U0001F600", "Cafe\u0301 cre\u0300me",
              "a\uFF0Fb\uFF3Cc\uFF0Ed", "..\uFF0F..\uFF0Fx", "100% ; it's & co"]


def named_variants(fixtures):
    """The first fixture with its first 32 bytes zeroed, under each of USER_NAMES."""
    if not fixtures:
        return []
    name, data = fixtures[0]
    return [("%s.xls" % user, bytes(32) + data[32:], name, "repaired",
             "first 32 bytes zeroed, named %r" % user) for user in USER_NAMES]


def load_fixtures(folder):
    names = sorted(n for n in os.listdir(folder) if n.lower().endswith(".xls"))
    result = []
    for n in names:
        with open(os.path.join(folder, n), "rb") as f:
            result.append((n, f.read()))
    return result


def make_variants(fixtures_dir, out_dir, seed=1729, large=()):
    """Writes the variants and variants.json; returns the list of descriptions.

    Fixtures named in `large` get only the header-loss kinds, to keep the run short."""
    fixtures = load_fixtures(fixtures_dir)
    if not fixtures:
        raise SystemExit("damage: no .xls fixtures in %s" % fixtures_dir)
    rnd = random.Random(seed)
    os.makedirs(out_dir, exist_ok=True)
    described = []

    def write(fname, content, original, expect, damage):
        with open(os.path.join(out_dir, fname), "wb") as f:
            f.write(content)
        described.append({"file": fname, "original": original, "expect": expect, "damage": damage,
                          "sha256": hashlib.sha256(content).hexdigest()})

    for name, data in fixtures:
        only = HEADER_LOSS + ("undamaged",) if name in large else None
        for fname, content, expect, damage in fixture_variants(name, data, rnd, only, fixtures_dir):
            write(fname, content, name, expect, damage)
    for fname, content, expect, damage in standalone_variants(fixtures, rnd):
        write(fname, content, None, expect, damage)
    for fname, content, original, expect, damage in named_variants(fixtures):
        write(fname, content, original, expect, damage)
    with open(os.path.join(out_dir, "variants.json"), "w", encoding="utf-8") as f:
        json.dump(described, f, indent=1)
        f.write("\n")
    return described


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--fixtures", default=DEFAULT_FIXTURES)
    ap.add_argument("--out", required=True)
    ap.add_argument("--seed", type=int, default=1729)
    a = ap.parse_args(argv)
    described = make_variants(a.fixtures, a.out, a.seed)
    for d in described:
        size = os.path.getsize(os.path.join(a.out, d["file"]))
        print("%-8s %-32s %8d  %s" % (d["expect"], d["file"], size, d["damage"]))
    print("%d variants in %s" % (len(described), a.out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
