"""Structural check of a compound file, stricter than olefile on the allocation tables.

olefile in strict mode follows a chain only as far as the stream's size asks, so a FAT of zeros
(every chain running into sector 0) still opens and reads sector 0 over and over. Here every
chain must end in ENDOFCHAIN after exactly as many sectors as its size needs, no sector may
belong to two chains, and the FAT and DIFAT sectors must be marked as such.
"""
import struct

SIGNATURE = bytes.fromhex("D0CF11E0A1B11AE1")
MAXREGSECT = 0xFFFFFFFA
DIFSECT = 0xFFFFFFFC
FATSECT = 0xFFFFFFFD
ENDOFCHAIN = 0xFFFFFFFE
FREESECT = 0xFFFFFFFF
NOSTREAM = 0xFFFFFFFF


class Malformed(Exception):
    pass


def _u32(data, off):
    return struct.unpack_from("<L", data, off)[0]


def check(data):
    """Raises Malformed with the first fault found; returns the number of directory entries in use."""
    if len(data) < 512 or data[:8] != SIGNATURE:
        raise Malformed("no compound file signature")
    major, order, shift, mshift = struct.unpack_from("<HHHH", data, 26)
    if order != 0xFFFE:
        raise Malformed("byte order %04X" % order)
    if (major, shift) not in ((3, 9), (4, 12)):
        raise Malformed("version %d with sector shift %d" % (major, shift))
    if mshift != 6:
        raise Malformed("mini sector shift %d" % mshift)
    ssz = 1 << shift
    n_fat, dir_start = _u32(data, 44), _u32(data, 48)
    cutoff, mf_start, n_mf, difat_start, n_difat = struct.unpack_from("<LLLLL", data, 56)
    if cutoff != 4096:
        raise Malformed("mini stream cutoff %d" % cutoff)
    nsect = (len(data) - ssz + ssz - 1) // ssz if len(data) > ssz else 0

    def sector(i):
        if i >= nsect:
            raise Malformed("sector %d beyond the end (%d sectors)" % (i, nsect))
        s = data[ssz * (i + 1): ssz * (i + 2)]
        return s + bytes(ssz - len(s))

    # FAT sector list: 109 in the header, the rest in the DIFAT chain.
    fat_secs = [_u32(data, 76 + 4 * i) for i in range(109)]
    difat_secs = []
    d = difat_start
    per = ssz // 4
    while d != ENDOFCHAIN and len(difat_secs) < n_difat:
        if d in difat_secs:
            raise Malformed("DIFAT chain loops")
        difat_secs.append(d)
        s = sector(d)
        fat_secs += [_u32(s, 4 * i) for i in range(per - 1)]
        d = _u32(s, ssz - 4)
    if len(difat_secs) != n_difat:
        raise Malformed("DIFAT has %d sectors, header says %d" % (len(difat_secs), n_difat))
    if n_fat == 0:
        raise Malformed("no FAT sectors")
    if any(f > MAXREGSECT for f in fat_secs[:n_fat]):
        raise Malformed("FAT sector list shorter than the header's count")
    if any(f != FREESECT for f in fat_secs[n_fat:]):
        raise Malformed("FAT sector list longer than the header's count")
    fat_secs = fat_secs[:n_fat]
    fat = []
    for f in fat_secs:
        s = sector(f)
        fat += [_u32(s, 4 * i) for i in range(per)]
    if len(fat) < nsect:
        raise Malformed("FAT covers %d sectors of %d" % (len(fat), nsect))
    for f in fat_secs:
        if fat[f] != FATSECT:
            raise Malformed("FAT sector %d not marked FATSECT" % f)
    for f in difat_secs:
        if fat[f] != DIFSECT:
            raise Malformed("DIFAT sector %d not marked DIFSECT" % f)
    for i in range(nsect, len(fat)):
        if fat[i] != FREESECT:
            raise Malformed("FAT entry %d beyond the end is %08X" % (i, fat[i]))

    used = {}

    def chain(start, table, limit, owner, count=None):
        out = []
        s = start
        while s != ENDOFCHAIN:
            if s >= limit:
                raise Malformed("%s: sector %08X out of range" % (owner, s))
            if s in used:
                raise Malformed("%s: sector %d also belongs to %s" % (owner, s, used[s]))
            used[s] = owner
            out.append(s)
            s = table[s]
        if count is not None and len(out) != count:
            raise Malformed("%s: chain of %d sectors, size needs %d" % (owner, len(out), count))
        return out

    for f in fat_secs + difat_secs:
        used[f] = "FAT/DIFAT"
    dir_chain = chain(dir_start, fat, nsect, "directory")
    if not dir_chain:
        raise Malformed("empty directory")
    dirdata = b"".join(sector(s) for s in dir_chain)
    n_ent = len(dirdata) // 128

    def entry(i):
        e = dirdata[128 * i: 128 * i + 128]
        nlen, typ = struct.unpack_from("<HB", e, 64)
        left, right, child = struct.unpack_from("<LLL", e, 68)
        start, size = struct.unpack_from("<LL", e, 116)
        if major == 4:
            size |= _u32(e, 124) << 32
        return typ, nlen, left, right, child, start, size

    root = entry(0)
    if root[0] != 5:
        raise Malformed("first directory entry has type %d, not root" % root[0])
    # Mini FAT and mini stream.
    mf_chain = chain(mf_start, fat, nsect, "mini FAT", n_mf) if n_mf else []
    if not n_mf and mf_start != ENDOFCHAIN:
        raise Malformed("mini FAT start %08X with no mini FAT sectors" % mf_start)
    minifat = []
    for s in mf_chain:
        sd = sector(s)
        minifat += [_u32(sd, 4 * i) for i in range(per)]
    root_size = root[6]
    ms_chain = chain(root[5], fat, nsect, "mini stream", -(-root_size // ssz)) if root_size else []
    n_mini = len(ms_chain) * ssz // 64
    mused = {}

    # Walk the tree from the root; every entry reached must be a storage or a stream.
    seen = {0}
    todo = [root[4]]
    while todo:
        i = todo.pop()
        if i == NOSTREAM:
            continue
        if i >= n_ent:
            raise Malformed("directory link %d beyond %d entries" % (i, n_ent))
        if i in seen:
            raise Malformed("directory tree reaches entry %d twice" % i)
        seen.add(i)
        typ, nlen, left, right, child, start, size = entry(i)
        if typ not in (1, 2) or nlen < 2 or nlen > 64 or nlen % 2:
            raise Malformed("entry %d: type %d, name length %d" % (i, typ, nlen))
        todo += [left, right]
        if typ == 1:
            todo.append(child)
            continue
        owner = "stream %d" % i
        if size >= cutoff:
            chain(start, fat, nsect, owner, -(-size // ssz))
        elif size:
            n = 0
            s = start
            while s != ENDOFCHAIN:
                if s >= n_mini or s >= len(minifat):
                    raise Malformed("%s: mini sector %08X out of range" % (owner, s))
                if s in mused:
                    raise Malformed("%s: mini sector %d also belongs to %s" % (owner, s, mused[s]))
                mused[s] = owner
                n += 1
                s = minifat[s]
            if n != -(-size // 64):
                raise Malformed("%s: mini chain of %d, size needs %d" % (owner, n, -(-size // 64)))
    return len(seen)
