"""Where every cell of an undamaged workbook lies in its file, for judging a salvaged copy.

Walks the workbook stream's records (BIFF8 and BIFF5) of a sound .xls with olefile's help, and
gives, per cell, the file byte ranges it needs: its own record, the sheet entry that names its
sheet, and for a shared-string cell its string's bytes (with the headers of the records the string
runs through), for a formula with a text result the STRING record after it. A cell survives a
damage when none of those bytes were damaged.
"""
import bisect
import struct

import olefile

BOF, EOF, BOUNDSHEET, SST, CONTINUE, EXTSST = 0x0809, 0x000A, 0x0085, 0x00FC, 0x003C, 0x00FF
NUMBER, RK, MULRK, LABELSST, LABEL, RSTRING = 0x0203, 0x027E, 0x00BD, 0x00FD, 0x0204, 0x00D6
BOOLERR, FORMULA, STRING = 0x0205, 0x0006, 0x0207
CELLS = (NUMBER, RK, LABELSST, LABEL, RSTRING, BOOLERR, FORMULA)


def stream_units(ole, name):
    """(unit size, file offset of each unit) of a root stream, in stream order."""
    entry = [d for d in ole.direntries if d is not None and d.name == name][0]
    size = entry.size
    bases = []
    if size < ole.minisectorcutoff:
        ole.loadminifat()
        container = []
        s = ole.root.isectStart
        while s < 0xFFFFFFFA and len(container) < 1 << 20:
            container.append(s)
            s = ole.fat[s]
        m = entry.isectStart
        while m < 0xFFFFFFFA and len(bases) * 64 < size:
            pos = m * 64
            bases.append((container[pos // ole.sectorsize] + 1) * ole.sectorsize + pos % ole.sectorsize)
            m = ole.minifat[m]
        return 64, bases
    s = entry.isectStart
    while s < 0xFFFFFFFA and len(bases) * ole.sectorsize < size:
        bases.append((s + 1) * ole.sectorsize)
        s = ole.fat[s]
    return ole.sectorsize, bases


def records(data):
    pos = 0
    while pos + 4 <= len(data):
        rtype, length = struct.unpack_from("<HH", data, pos)
        if rtype == 0 and length == 0:
            return
        yield pos, rtype, data[pos + 4: pos + 4 + length]
        pos += 4 + length


def sst_ranges(data, sst_pos, biff8=True):
    """Per string of the table at sst_pos: the stream ranges it needs."""
    chain = []
    pos = sst_pos
    while True:
        rtype, length = struct.unpack_from("<HH", data, pos)
        if chain and rtype != CONTINUE:
            break
        chain.append((pos, pos + 4, pos + 4 + length))
        pos += 4 + length
        if pos + 4 > len(data):
            break
    unique = struct.unpack_from("<L", data, sst_pos + 8)[0]
    rec = 0
    at = chain[0][1] + 8
    strings = []

    def avail():
        return chain[rec][2] - at

    def next_record(ranges):
        nonlocal rec, at
        rec += 1
        at = chain[rec][1]
        ranges.append((chain[rec][0], chain[rec][1]))

    for _ in range(unique):
        ranges = []
        if avail() == 0:
            next_record(ranges)
            ranges = []
        start = at
        cch, flags = struct.unpack_from("<HB", data, at)
        header = 3 + (2 if flags & 8 else 0) + (4 if flags & 4 else 0)
        runs = struct.unpack_from("<H", data, at + 3)[0] if flags & 8 else 0
        ext = struct.unpack_from("<L", data, at + header - 4)[0] if flags & 4 else 0
        at += header
        wide = flags & 1
        left = cch
        while left:
            if avail() == 0:
                ranges.append((start, at))
                next_record(ranges)
                wide = data[at] & 1
                start = at
                at += 1
            take = min(left, avail() // (2 if wide else 1))
            at += take * (2 if wide else 1)
            left -= take
        tail = runs * 4 + ext
        while tail:
            if avail() == 0:
                ranges.append((start, at))
                next_record(ranges)
                start = at
            take = min(tail, avail())
            at += take
            tail -= take
        ranges.append((start, at))
        strings.append(ranges)
    return strings


class Workbook:
    """The cells of a sound workbook file and the file ranges each one needs."""

    def __init__(self, path):
        self._index = None
        ole = olefile.OleFileIO(path)
        name = "Workbook" if ole.exists("Workbook") else "Book"
        self.stream = ole.openstream(name).read()
        self.unit, self.bases = stream_units(ole, name)
        ole.close()
        data = self.stream
        biff8 = name == "Workbook"
        sheets = []  # (offset, name, entry range)
        strings = []
        sst_at = None
        for pos, rtype, body in records(data):
            if rtype == BOUNDSHEET:
                cch = body[6]
                if biff8:
                    raw = body[8:8 + cch * (2 if body[7] & 1 else 1)]
                    sheet = raw.decode("utf-16-le" if body[7] & 1 else "latin-1")
                else:
                    sheet = body[7:7 + cch].decode("latin-1")
                sheets.append((struct.unpack_from("<L", body)[0], sheet, (pos, pos + 4 + len(body))))
            elif rtype == SST and sst_at is None:
                sst_at = pos
            elif rtype == EOF:
                break
        if sst_at is not None:
            strings = sst_ranges(data, sst_at, biff8)
        self.sheet_names = [s[1] for s in sheets]
        # Cells: (sheet, row, col) -> list of stream ranges.
        self.cells = {}
        order = sorted(sheets)
        for k, (offset, sheet, entry) in enumerate(order):
            end = order[k + 1][0] if k + 1 < len(order) else len(data)
            depth = 0
            last_formula = None
            for pos, rtype, body in self._records_from(offset, end):
                if rtype == BOF:
                    depth += 1
                    continue
                if rtype == EOF:
                    depth -= 1
                    if depth == 0:
                        break
                    continue
                if depth != 1:
                    continue
                rng = (pos, pos + 4 + len(body))
                if rtype == STRING and last_formula is not None:
                    self.cells[last_formula].append(rng)
                    last_formula = None
                    continue
                if rtype not in CELLS and rtype != MULRK:
                    if rtype not in (0x04BC, 0x0221, 0x0236):
                        last_formula = None
                    continue
                row = struct.unpack_from("<H", body)[0]
                if rtype == MULRK:
                    first = struct.unpack_from("<H", body, 2)[0]
                    last = struct.unpack_from("<H", body, len(body) - 2)[0]
                    for col in range(first, last + 1):
                        self.cells[(sheet, row, col)] = [rng, entry]
                    last_formula = None
                    continue
                col = struct.unpack_from("<H", body, 2)[0]
                need = [rng, entry]
                if rtype == LABELSST:
                    index = struct.unpack_from("<L", body, 6)[0]
                    need += strings[index] if index < len(strings) else []
                self.cells[(sheet, row, col)] = need
                last_formula = None
                if rtype == FORMULA and body[6] == 0 and body[12:14] == b"\xff\xff":
                    last_formula = (sheet, row, col)

    def _records_from(self, start, end):
        pos = start
        data = self.stream
        while pos + 4 <= end:
            rtype, length = struct.unpack_from("<HH", data, pos)
            yield pos, rtype, data[pos + 4: pos + 4 + length]
            pos += 4 + length

    def file_ranges(self, a, b):
        """The file ranges holding stream bytes [a, b)."""
        while a < b:
            unit = a // self.unit
            end = min(b, (unit + 1) * self.unit)
            base = self.bases[unit] + a % self.unit
            yield base, base + (end - a)
            a = end

    def _segments(self):
        """Every cell's file ranges as (start, end, cell), by start, and the longest one's length."""
        if self._index is None:
            segments = sorted((fa, fb, cell) for cell, ranges in self.cells.items() for a, b in ranges
                              for fa, fb in self.file_ranges(a, b))
            self._index = ([s[0] for s in segments], segments, max((fb - fa for fa, fb, _ in segments), default=0))
        return self._index

    def survived(self, damaged):
        """The cells none of whose bytes lie in the file ranges `damaged` (a list of (start, end))."""
        # A file range reaches at most `longest` bytes past its start, so only those starting
        # within that distance before a damaged range's end can meet it.
        starts, segments, longest = self._segments()
        lost = set()
        for da, db in damaged:
            for fa, fb, cell in segments[bisect.bisect_right(starts, da - longest):bisect.bisect_left(starts, db)]:
                if fa < db and da < fb:
                    lost.add(cell)
        return set(self.cells) - lost
