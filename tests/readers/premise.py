#!/usr/bin/python3
"""Checks the premises of the repair on the fixtures, without the program.

Usage: premise.py [--fixtures DIR]

1. The 32-byte header patch alone, or with the header rebuilt from the other sectors where the
   patch leaves the file malformed, gives back the original streams and cells of every variant
   damage.py expects to be repaired.
2. What a block written unconditionally over the last 512 bytes does to each fixture
   (all zeros, all 0xFF, our template block).
3. The repair model run over all variants passes check_repairs.py.
Prints one line per check and "N passed, M failed".
"""
import argparse
import io
import os
import sys
import tempfile

import olefile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import check_repairs  # noqa: E402
import damage  # noqa: E402
import repair_model  # noqa: E402


def readable_as(path, original, originals):
    try:
        check_repairs.check_repaired(path, original, originals)
        return None
    except check_repairs.Fault as e:
        return str(e)


def olefile_reads(path):
    try:
        ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
        for e in ole.listdir():
            ole.openstream(e).read()
        ole.close()
        return True
    except Exception:
        return False


def main(argv=None):
    ap = argparse.ArgumentParser()
    ap.add_argument("--fixtures", default=damage.DEFAULT_FIXTURES)
    a = ap.parse_args(argv)
    passed = failed = 0
    originals = check_repairs.Originals(a.fixtures)
    with tempfile.TemporaryDirectory() as tmp:
        vdir = os.path.join(tmp, "variants")
        variants = damage.make_variants(a.fixtures, vdir)

        print("-- header patch (and rebuild) on the variants expected to be repaired")
        for v in variants:
            if v["expect"] != "repaired":
                continue
            with open(os.path.join(vdir, v["file"]), "rb") as f:
                data = f.read()
            path = os.path.join(tmp, "patched.xls")
            with open(path, "wb") as f:
                patched = damage.HEADER_PATCH + data[32:]
                if not repair_model.well_formed(patched):
                    patched = repair_model.rebuild_header(patched) or patched
                f.write(patched)
            err = readable_as(path, v["original"], originals)
            if err is None:
                passed += 1
                print("PASS %-32s olefile strict + xlrd: original streams and cells" % v["file"])
            else:
                failed += 1
                print("FAIL %-32s %s" % (v["file"], err))

        print("-- a block written over the last 512 bytes regardless (measurement, not a check)")
        blocks = [("zeros", bytes(512)), ("0xFF", b"\xff" * 512), ("template", repair_model.TAIL_BLOCK)]
        for name, data in damage.load_fixtures(a.fixtures):
            res = []
            for bname, block in blocks:
                path = os.path.join(tmp, "tail.xls")
                with open(path, "wb") as f:
                    f.write(data[:-512] + block)
                err = readable_as(path, name, originals)
                res.append("%s: %s, olefile strict alone %s" % (
                    bname, "cells kept" if err is None else "broken (%s)" % err.split(": ", 1)[-1][:40],
                    "reads it" if olefile_reads(path) else "rejects it"))
            print("     %-16s %s" % (name, "; ".join(res)))

        print("-- the repair model over all variants, judged by check_repairs.py")
        odir = os.path.join(tmp, "out")
        manifest = os.path.join(tmp, "manifest.tsv")
        repair_model.repair_folder(variants, vdir, odir, manifest)
        buf = io.StringIO()
        ok = check_repairs.run(vdir, odir, manifest, a.fixtures, out=buf)
        for line in buf.getvalue().splitlines()[:-1]:
            print("     " + line)
        if ok:
            passed += 1
            print("PASS the model's repairs pass check_repairs.py")
        else:
            failed += 1
            print("FAIL the model's repairs do not pass check_repairs.py")
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
