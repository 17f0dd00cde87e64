#!/usr/bin/python3
"""Writes a workbook too large for the header's 109 allocation-table sector numbers, with xlwt.

Usage: big_fixture.py OUTPUT

About 9 MB: 140 table sectors, so the last 31 are listed in an extra index sector. Seeded, so
every run with the same xlwt gives the same bytes. Written at test time rather than committed.
"""
import random
import sys

import xlwt

NAME = "xl_big.xls"


def write(path):
    rnd = random.Random(6800)
    book = xlwt.Workbook()
    sheet = book.add_sheet("Big")
    # Distinct long texts fill the shared string table quickly; numbers beside them.
    for r in range(28000):
        sheet.write(r, 0, r)
        sheet.write(r, 1, ("%064x" % rnd.getrandbits(256)) * 4)
        sheet.write(r, 2, rnd.randint(-10 ** 9, 10 ** 9) / 1000.0)
    book.save(path)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: big_fixture.py OUTPUT\n")
        return 2
    write(argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
