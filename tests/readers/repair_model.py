#!/usr/bin/python3
"""A small Python model of the repair, judged by olefile, for checking the checks.

It follows the program's rules: header patch, then the tail block, each only if it does not turn
a well-formed file into a malformed one; copies under 550 bytes fail; the result counts only if
it is well-formed. "Live" is judged conservatively: the tail is written on a well-formed file
only when its last sector is marked free in the FAT.
"""
import io
import os
import sys

import olefile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.normpath(os.path.join(HERE, "..", "..", "scripts")))

import cfb  # noqa: E402
from damage import HEADER_PATCH, MIN_SIZE  # noqa: E402
import make_template  # noqa: E402

TAIL_BLOCK = make_template.template()[:512]


def well_formed(data):
    """True when cfb.py finds every chain sound and olefile in strict mode reads every stream."""
    try:
        cfb.check(data)
        ole = olefile.OleFileIO(io.BytesIO(data), raise_defects=olefile.DEFECT_INCORRECT)
        try:
            for entry in ole.listdir(streams=True, storages=False):
                ole.openstream(entry).read()
        finally:
            ole.close()
        return True
    except Exception:  # cfb.Malformed or whatever olefile raises
        return False


def tail_is_free(data):
    try:
        ole = olefile.OleFileIO(io.BytesIO(data), raise_defects=olefile.DEFECT_INCORRECT)
    except Exception:
        return False
    try:
        if ole.sectorsize != 512 or len(data) % 512:
            return False
        last = len(data) // 512 - 2
        return last >= len(ole.fat) or ole.fat[last] == olefile.FREESECT
    finally:
        ole.close()


def repair(data, block=TAIL_BLOCK):
    """The repaired bytes, or None where the repair fails."""
    if len(data) < MIN_SIZE:
        return None
    good = well_formed(data)
    patched = HEADER_PATCH + data[32:]
    if not good or well_formed(patched):
        data = patched
    good = well_formed(data)
    if not good or tail_is_free(data):
        candidate = data[:-512] + block
        if not good or well_formed(candidate):
            data = candidate
    return data if well_formed(data) else None


def repair_folder(variants, variants_dir, output_dir, manifest_path):
    """Runs the model over every variant, as the program's test driver would."""
    os.makedirs(output_dir, exist_ok=True)
    with open(manifest_path, "w", encoding="utf-8") as m:
        for v in variants:
            with open(os.path.join(variants_dir, v["file"]), "rb") as f:
                result = repair(f.read())
            if result is None:
                m.write("%s\tFailed\t\n" % v["file"])
            else:
                out = "REP_" + v["file"]
                with open(os.path.join(output_dir, out), "wb") as f:
                    f.write(result)
                m.write("%s\tRepaired\t%s\n" % (v["file"], out))


def main(argv=None):
    import argparse
    import json
    ap = argparse.ArgumentParser(description="Runs the Python model of the repair over damage.py's variants.")
    ap.add_argument("--variants", required=True)
    ap.add_argument("--output", required=True)
    ap.add_argument("--manifest", required=True)
    a = ap.parse_args(argv)
    with open(os.path.join(a.variants, "variants.json"), encoding="utf-8") as f:
        variants = json.load(f)
    repair_folder(variants, a.variants, a.output, a.manifest)
    return 0


if __name__ == "__main__":
    sys.exit(main())
