#!/usr/bin/env python3
"""Writes the extension's 16x16, 24-bit menu picture: a sheet of paper with a red cross.

Generated at build time so that the repository holds the drawing as text rather than as a
binary file. Uses the standard library only.

    make_menu_bitmap.py OUTPUT.bmp
"""
import struct
import sys

SIZE = 16
BACKGROUND = (255, 255, 255)
OUTLINE = (96, 96, 96)
PAPER = (255, 255, 255)
TEXT = (170, 170, 170)
CROSS = (190, 30, 30)


def draw():
    pixels = [[BACKGROUND] * SIZE for _ in range(SIZE)]
    left, top, right, bottom, fold = 2, 1, 12, 14, 3
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x - (right - fold) > y - top:
                continue  # the folded-over corner
            edge = x in (left, right) or y in (top, bottom) or x - (right - fold) == y - top
            pixels[y][x] = OUTLINE if edge else PAPER
    for i in range(fold + 1):  # the folded corner's two straight edges
        pixels[top + fold][right - fold + i] = OUTLINE
        pixels[top + i][right - fold] = OUTLINE
    for y in (5, 7, 9, 11):
        for x in range(left + 2, right - 1):
            pixels[y][x] = TEXT
    for i in range(6):
        for x, y in ((8 + i, 9 + i), (9 + i, 9 + i), (13 - i, 9 + i), (14 - i, 9 + i)):
            pixels[y][x] = CROSS
    return pixels


def bmp(pixels):
    row_size = (SIZE * 3 + 3) // 4 * 4
    image = bytearray()
    for row in reversed(pixels):  # bottom-up, as a positive height says
        for red, green, blue in row:
            image += bytes((blue, green, red))
        image += bytes(row_size - SIZE * 3)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(image), 0, 0, 14 + len(info))
    return header + info + bytes(image)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as output:
        output.write(bmp(draw()))
