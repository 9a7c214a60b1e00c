#!/usr/bin/env python3
"""Adds a rotation property ("irot", angle × 90° anticlockwise) to the primary item of a
HEIF file written by heif-enc: python3 heif_rotate.py IN OUT ANGLE.

The property goes at the end of "ipco" and its index into the primary item's "ipma"
entry; the boxes around them grow, and "iloc" offsets move past the added bytes."""
import struct
import sys


def boxes(data, start, end):
    at = start
    while at + 8 <= end:
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        yield at, size, kind.decode("latin-1")
        at += size


def find(data, start, end, kind):
    for at, size, k in boxes(data, start, end):
        if k == kind:
            return at, size
    raise SystemExit("no %s box" % kind)


def main():
    data = bytearray(open(sys.argv[1], "rb").read())
    angle = int(sys.argv[2 + 1]) if len(sys.argv) > 3 else 1
    meta_at, meta_size = find(data, 0, len(data), "meta")
    inner = meta_at + 12  # full box
    pitm_at, _ = find(data, inner, meta_at + meta_size, "pitm")
    primary = struct.unpack(">H", data[pitm_at + 12:pitm_at + 14])[0]
    iprp_at, iprp_size = find(data, inner, meta_at + meta_size, "iprp")
    ipco_at, ipco_size = find(data, iprp_at + 8, iprp_at + iprp_size, "ipco")
    ipma_at, ipma_size = find(data, iprp_at + 8, iprp_at + iprp_size, "ipma")
    count = sum(1 for _ in boxes(data, ipco_at + 8, ipco_at + ipco_size))
    irot = struct.pack(">I4sB", 9, b"irot", angle & 3)
    # The primary item's association list in ipma (version 0, flags 0: 1-byte indices).
    version, flags = data[ipma_at + 8], int.from_bytes(data[ipma_at + 9:ipma_at + 12], "big")
    assert version == 0 and flags & 1 == 0
    entries = struct.unpack(">I", data[ipma_at + 12:ipma_at + 16])[0]
    at = ipma_at + 16
    insert_at = None
    for _ in range(entries):
        item, n = struct.unpack(">HB", data[at:at + 3])
        if item == primary:
            data[at + 2] = n + 1
            insert_at = at + 3 + n
        at += 3 + n
    assert insert_at is not None
    grow = len(irot) + 1
    first_moved = ipco_at + ipco_size  # everything from here on moves
    # iloc offsets into the file past the inserted bytes move with them.
    iloc_at, _ = find(data, inner, meta_at + meta_size, "iloc")
    v = data[iloc_at + 8]
    off_size, len_size = data[iloc_at + 12] >> 4, data[iloc_at + 12] & 15
    base_size = data[iloc_at + 13] >> 4
    index_size = data[iloc_at + 13] & 15 if v in (1, 2) else 0
    p = iloc_at + 14
    n_items = struct.unpack(">H" if v < 2 else ">I", data[p:p + (2 if v < 2 else 4)])[0]
    p += 2 if v < 2 else 4

    def read(p, n):
        return int.from_bytes(data[p:p + n], "big") if n else 0

    def write(p, n, value):
        if n:
            data[p:p + n] = value.to_bytes(n, "big")

    for _ in range(n_items):
        p += 2 if v < 2 else 4
        method = 0
        if v in (1, 2):
            method = read(p, 2) & 15
            p += 2
        p += 2  # data reference index
        base = read(p, base_size)
        base_p = p
        p += base_size
        extents = read(p, 2)
        p += 2
        for _ in range(extents):
            p += index_size
            off = read(p, off_size)
            if method == 0 and base == 0 and off >= first_moved:
                write(p, off_size, off + grow)
            p += off_size + len_size
        if method == 0 and base >= first_moved:
            write(base_p, base_size, base + grow)
    data[insert_at:insert_at] = bytes([0x80 | (count + 1)])
    data[first_moved:first_moved] = irot
    for box_at in (ipco_at,):
        struct.pack_into(">I", data, box_at, struct.unpack(">I", data[box_at:box_at + 4])[0] + len(irot))
    ipma_at += len(irot)
    struct.pack_into(">I", data, ipma_at, struct.unpack(">I", data[ipma_at:ipma_at + 4])[0] + 1)
    for box_at in (iprp_at, meta_at):
        struct.pack_into(">I", data, box_at, struct.unpack(">I", data[box_at:box_at + 4])[0] + grow)
    open(sys.argv[2], "wb").write(bytes(data))


main()
