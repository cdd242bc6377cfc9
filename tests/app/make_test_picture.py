#!/usr/bin/env python3
"""Writes the picture the picture-control tests show: 5x5 pixels, 8 bits with a colour table.

The top-left 2x2 quadrant is the grey that loading maps to the button-face colour; the other
quadrants are red, green and blue; the last column and row are black, and are never shown.
Written at build time, so that the picture is read here as text. Standard library only.

    make_test_picture.py OUTPUT.bmp
"""
import struct
import sys

GREY, RED, GREEN, BLUE, BLACK = range(5)
PALETTE = [(192, 192, 192), (220, 20, 20), (20, 160, 20), (20, 20, 220), (0, 0, 0)]
SIZE = 5


def index(x, y):
    if x == SIZE - 1 or y == SIZE - 1:
        return BLACK
    return [[GREY, RED], [GREEN, BLUE]][y // 2][x // 2]


def main():
    stride = (SIZE + 3) // 4 * 4
    rows = b"".join(bytes(index(x, y) for x in range(SIZE)) + bytes(stride - SIZE)
                    for y in reversed(range(SIZE)))  # bottom row first
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    offset = 14 + 40 + len(table)
    header = b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 8, 0, len(rows), 2835, 2835, len(PALETTE), 0)
    with open(sys.argv[1], "wb") as out:
        out.write(header + info + table + rows)


if __name__ == "__main__":
    main()
