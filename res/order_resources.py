#!/usr/bin/env python3
"""Moves the payload placeholder's data to the end of a resource object written by windres.

windres lays resource data out in directory order, which puts the only named type, LASTRES, first.
The installer's layout needs the opposite for the data: the placeholder must be the last data in the
section, so the payload block written over it can run on into the padding and the appended area.
The directory itself (and so LASTRES first at every level) stays as windres built it; only the data
blobs are reordered and the data entries' offsets, which the object keeps as in-place addends of
its relocations, are updated.
Usage: order_resources.py in.o out.o
"""
import struct
import sys


def fail(message):
    sys.exit(f'order_resources: {message}')


def main():
    if len(sys.argv) != 3:
        fail('usage: order_resources.py in.o out.o')
    obj = bytearray(open(sys.argv[1], 'rb').read())
    machine, sections, _, symtab, symbols, opt_size, _ = struct.unpack_from('<HHIIIHH', obj, 0)
    if machine not in (0x14C, 0x8664):
        fail(f'unexpected machine 0x{machine:x}')
    rsrc = None
    for i in range(sections):
        at = 20 + opt_size + 40 * i
        name = obj[at:at + 8].rstrip(b'\0')
        if name == b'.rsrc':
            rsrc = struct.unpack_from('<8sIIIIIIHHI', obj, at)
    if rsrc is None:
        fail('no .rsrc section')
    _, _, _, size, raw, relocs, _, nrelocs, _, _ = rsrc
    section = obj[raw:raw + size]

    # Every data entry's first field is an RVA relocated against the section: the relocations list
    # the data entries, and the in-place value is the blob's offset in the section.
    entries = []
    for r in range(nrelocs):
        field, _, _ = struct.unpack_from('<IIH', obj, relocs + 10 * r)
        offset, length = struct.unpack_from('<II', section, field)
        entries.append((field, offset, length))

    # The first entry at each of the three levels leads to the placeholder's data entry.
    node = 0
    for _ in range(3):
        node = struct.unpack_from('<I', section, node + 16 + 4)[0]
        if _ < 2:
            if not node & 0x80000000:
                fail('directory ends early')
            node &= 0x7FFFFFFF
    if node & 0x80000000:
        fail('placeholder is not a data entry')
    names = struct.unpack_from('<HH', section, 12)
    if names[0] != 1:
        fail(f'{names[0]} named types; the payload resource must be the only one')
    last = [e for e in entries if e[0] == node]
    if len(last) != 1:
        fail('placeholder data entry not relocated')

    def padded(n):
        return (n + 7) & ~7

    blobs = sorted(entries, key=lambda e: e[1])
    start = blobs[0][1]
    if any(b[1] < struct.unpack_from('<I', section, b[0])[0] for b in blobs):
        fail('inconsistent data entries')
    ordered = [b for b in blobs if b[0] != node] + last
    data = bytearray()
    for field, offset, length in ordered:
        struct.pack_into('<I', section, field, start + len(data))
        chunk = bytes(obj[raw + offset:raw + offset + length])
        data += chunk + b'\0' * (padded(length) - length)
    if start + len(data) > size:
        fail('reordered data do not fit')
    # Trim the section so nothing follows the placeholder's (unpadded) data.
    size = start + len(data) - (padded(last[0][2]) - last[0][2])
    section[start:start + len(data)] = data
    obj[raw:raw + len(section)] = section
    for i in range(sections):
        at = 20 + opt_size + 40 * i
        if obj[at:at + 8].rstrip(b'\0') == b'.rsrc':
            struct.pack_into('<I', obj, at + 16, size)
    open(sys.argv[2], 'wb').write(obj)


if __name__ == '__main__':
    main()
