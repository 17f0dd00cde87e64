#!/usr/bin/python3
"""same_cells.py REPAIRED ORIGINAL: exit 0 when REPAIRED is a well-formed compound file whose cells,
read by xlrd, are ORIGINAL's; otherwise says why and exits 1."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "readers"))
import check_repairs  # noqa: E402


def main(repaired, original):
    try:
        check_repairs.check_structure(repaired)
        want = check_repairs.cells(original)
        check_repairs.compare_cells(check_repairs.cells(repaired), want)
    except check_repairs.Fault as e:
        print("%s: %s" % (repaired, e))
        return 1
    print("ok: %s holds the %d cells of %s" % (os.path.basename(repaired), sum(s[1] * s[2] for s in want),
                                                os.path.basename(original)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
