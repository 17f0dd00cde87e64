#!/usr/bin/python3
"""A small Python model of the repair, judged by olefile, for checking the checks.

It follows the program's rules: header patch, then (when the copy is still malformed) a header
rebuilt from the other sectors, then the tail block; the patch and the tail only if they do not
turn a well-formed file into a malformed one; copies under 550 bytes fail; the result counts only
if it is well-formed. "Live" is judged conservatively: the tail is written on a well-formed file
only when its last sector is marked free in the FAT.
"""
import bisect
import io
import itertools
import os
import struct
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


def _starts_with_bof(data):
    ole = olefile.OleFileIO(io.BytesIO(data), raise_defects=olefile.DEFECT_INCORRECT)
    try:
        name = "Workbook" if ole.exists("Workbook") else "Book"
        head = ole.openstream(name).read(4) if ole.exists(name) else b""
    finally:
        ole.close()
    return len(head) == 4 and head[:2] in (b"\x09\x08", b"\x09\x04", b"\x09\x02", b"\x09\x00") and \
        4 <= struct.unpack_from("<H", head, 2)[0] <= 20


def rebuild_header(data):
    """The bytes with header fields rebuilt from the other 512-byte sectors, or None."""
    n = (len(data) - 512) // 512
    if n < 2:
        return None
    entries = [struct.unpack_from("<128L", data, 512 * (s + 1)) for s in range(n)]
    table_like = [all(e < n or e >= cfb.DIFSECT for e in t) for t in entries]
    markers = [(s, [j for j, e in enumerate(entries[s]) if e == cfb.FATSECT]) for s in range(n) if table_like[s]]
    markers = [(s, m) for s, m in markers if m]
    # A table sector at place k holds the entries of sectors 128k on; writers keep the table
    # sectors in increasing order, so a sector's place is the number of table sectors before it.
    places = [[k for k in range(-(-n // 128)) if all(128 * k + j < n and table_like[128 * k + j] for j in m)]
              for _, m in markers]
    marked = None
    for choice in itertools.product(*places):
        if any(a >= b for a, b in zip(choice, choice[1:])):
            continue
        named = sorted(128 * k + j for k, (_, m) in zip(choice, markers) for j in m)
        if len(set(named)) == len(named) and all(
                bisect.bisect_left(named, s) == k and s in named for k, (s, _) in zip(choice, markers)):
            marked = named
            break
    if not markers or marked is None:
        return None
    fat = [e for s in marked for e in entries[s]] + [cfb.FREESECT] * n
    difat = sorted(s for s in range(n) if fat[s] == cfb.DIFSECT)
    pointed = {e for e in fat[:n] if e < n}
    in_use = [fat[s] < n or fat[s] == cfb.ENDOFCHAIN for s in range(n)]
    roots = [s for s in range(n) if data[512 * (s + 1) + 66] == 5 and
             data[512 * (s + 1): 512 * (s + 1) + 20].decode("utf-16-le", "replace").upper() == "ROOT ENTRY"
             and in_use[s] and s not in pointed]
    heads = [s for s in range(n) if in_use[s] and s not in pointed]
    for root in roots:
        minis = -(-struct.unpack_from("<L", data, 512 * (root + 1) + 120)[0] // 64)
        heads_ok = [h for h in heads if h != root and
                    all(e < minis or e >= cfb.ENDOFCHAIN for e in entries[h])]
        for mini in [None] + heads_ok:
            count = 0
            s = mini
            while s is not None and s != cfb.ENDOFCHAIN and count <= n:
                count, s = count + 1, fat[s]
            header = bytearray(HEADER_PATCH + bytes(480))
            struct.pack_into("<H", header, 32, 6)
            struct.pack_into("<9L", header, 40, 0, len(marked), root, 0, 4096, cfb.ENDOFCHAIN if mini is None else mini,
                             count, difat[0] if difat else cfb.ENDOFCHAIN, len(difat))
            struct.pack_into("<109L", header, 76, *(marked[:109] + [cfb.FREESECT] * (109 - len(marked[:109]))))
            candidate = bytes(header) + data[512:]
            if well_formed(candidate) and _starts_with_bof(candidate):
                return candidate
    return None


def repair(data, block=TAIL_BLOCK):
    """The repaired bytes, or None where the repair fails."""
    if len(data) < MIN_SIZE:
        return None
    good = well_formed(data)
    patched = HEADER_PATCH + data[32:]
    if not good or well_formed(patched):
        data = patched
    good = well_formed(data)
    if not good:
        rebuilt = rebuild_header(data)
        if rebuilt is not None:
            data, good = rebuilt, True
    if not good or tail_is_free(data):
        candidate = data[:-512] + block
        if not good or well_formed(candidate):
            data = candidate
    return data if well_formed(data) else None


def repair_folder(variants, variants_dir, output_dir, manifest_path, fixtures_dir=None):
    """Runs the model over every variant, as the program's test driver would. The model does
    not salvage: for a variant that can only come back in part it gives a perfect salvage, the
    undamaged original, which passes the checks and lets the self-check plant faults in it."""
    import damage
    os.makedirs(output_dir, exist_ok=True)
    with open(manifest_path, "w", encoding="utf-8") as m:
        for v in variants:
            if v.get("expect") == "partial":
                out = "REP_" + v["file"]
                with open(os.path.join(fixtures_dir or damage.DEFAULT_FIXTURES, v["original"]), "rb") as f:
                    data = f.read()
                with open(os.path.join(output_dir, out), "wb") as f:
                    f.write(data)
                m.write("%s\tPartly recovered\t%s\tsome cells\n" % (v["file"], out))
                continue
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
