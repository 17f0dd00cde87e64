#!/usr/bin/python3
"""Writes the tail-block template shipped beside the program (VuzuviViduv.dll).

Usage: make_template.py OUTPUT

The repair copies the first 512 bytes of this file over a workbook's last 512 bytes; they are
all 0xFF. On a well-formed file the block goes only where nothing is live, and only if the file
stays well-formed, so readers walking the file's chains and tree never read it. The one
exception is the end of a FAT sector past the end of the file, where the entries must be
FREESECT (0xFFFFFFFF): this block is exactly that. The block matters more in a file that is
still malformed after the header patch. There it lands on live data (the directory for
LibreOffice and Excel, a FAT sector for Gnumeric). It can bring nothing back, and it must not
make a broken file look good. All 0xFF cannot: as a FAT, every entry is FREESECT, so every chain
through it breaks; as a directory, no entry has a valid type, so there is no root. All zeros
can: as a FAT it makes chains that run into sector 0, and olefile in strict mode reads them
without complaint. On the Gnumeric fixtures with a garbage FAT sector, a zero block gave three
files olefile reads (with the wrong bytes); 0xFF gave none. Written over live data of any file,
zeros keep more cells (39% against 17% of real files), but the repair never does that to a
well-formed file.
"""
import sys

SIZE = 4096
BLOCK = 512


def template():
    # The rest of the file is not used by the repair; it repeats the block.
    return b"\xff" * SIZE


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_template.py OUTPUT\n")
        return 2
    data = template()
    assert len(data) >= BLOCK
    with open(argv[1], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
