#!/usr/bin/env python3
"""Turns the program icon's pixel map (32 lines of 32 characters) into a 32 x 32, 16-colour .ico.

Each character is a colour of the standard 16-colour palette as one hex digit; '.' is transparent.
Usage: make_icon.py icon.txt program.ico
"""
import struct
import sys

SIZE = 32
PALETTE = [  # RGB, the standard 16-colour system palette
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def read_map(path):
    rows = [line.rstrip('\n') for line in open(path, encoding='ascii')]
    rows = [r for r in rows if r]
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        sys.exit(f'{path}: expected {SIZE} lines of {SIZE} characters')
    for r in rows:
        for c in r:
            if c != '.' and c not in '0123456789abcdef':
                sys.exit(f'{path}: unknown colour {c!r}')
    return rows


def icon_image(rows):
    colour_rows, mask_rows = [], []
    for r in reversed(rows):  # bitmaps are stored bottom-up
        indices = [0 if c == '.' else int(c, 16) for c in r]
        colour_rows.append(bytes((indices[i] << 4) | indices[i + 1] for i in range(0, SIZE, 2)))
        bits = 0
        for c in r:
            bits = (bits << 1) | (c == '.')
        mask_rows.append(struct.pack('>I', bits))
    colours = b''.join(colour_rows)
    mask = b''.join(mask_rows)
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, 2 * SIZE, 1, 4, 0, len(colours) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + colours + mask


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: make_icon.py icon.txt program.ico')
    image = icon_image(read_map(sys.argv[1]))
    assert len(image) == 744
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    with open(sys.argv[2], 'wb') as out:
        out.write(directory + entry + image)


if __name__ == '__main__':
    main()
