#!/usr/bin/env python3
"""Writes the launcher's three icons: the program (a gazette page), the SDI
checker (the page with a magnifier) and the start-up shortcut (the page with a
clock). Each file holds a 32 x 32 and a 16 x 16 picture of 32-bit colour with
its transparency mask.

usage: make_icons.py OUT_DIR
"""
import os
import struct
import sys

PAPER = (255, 255, 255)
EDGE = (40, 40, 40)
FACE = (144, 200, 200)   # the menu buttons' face colour
LINE = (0, 40, 159)
MARK = (200, 30, 30)


def page(size):
    """The common picture: a page with text lines on a transparent ground."""
    px = [[None] * size for _ in range(size)]
    m = size // 8
    for y in range(m, size - m):
        for x in range(m + 1, size - m - 1):
            edge = y in (m, size - m - 1) or x in (m + 1, size - m - 2)
            px[y][x] = EDGE if edge else PAPER
    step = max(2, size // 8)
    for y in range(m + step, size - m - step, step):
        for x in range(m + 3, size - m - 3):
            px[y][x] = LINE
    return px


def disc(px, cx, cy, r, colour, ring=None):
    size = len(px)
    for y in range(size):
        for x in range(size):
            d = (x - cx) ** 2 + (y - cy) ** 2
            if d <= r * r:
                px[y][x] = colour
                if ring and d >= (r - 1.2) ** 2:
                    px[y][x] = ring


def program(size):
    px = page(size)
    s = size / 32
    for y in range(int(2 * s), int(9 * s)):
        for x in range(int(20 * s), int(29 * s)):
            px[y][x] = FACE
    return px


def checker(size):
    px = page(size)
    s = size / 32
    disc(px, 19 * s, 19 * s, 7 * s, FACE, EDGE)
    for i in range(int(7 * s)):
        for w in range(max(1, int(2 * s))):
            x, y = int(24 * s) + i + w, int(24 * s) + i
            if x < size and y < size:
                px[y][x] = EDGE
    return px


def startup(size):
    px = page(size)
    s = size / 32
    disc(px, 21 * s, 21 * s, 9 * s, PAPER, MARK)
    for i in range(int(6 * s)):
        px[int(21 * s) - i][int(21 * s)] = EDGE   # the minute hand at twelve
    for i in range(int(4 * s)):
        px[int(21 * s)][int(21 * s) + i] = EDGE   # the hour hand at three
    return px


def image(px):
    """One icon image: BITMAPINFOHEADER (double height), pixels, AND mask."""
    size = len(px)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(px):
        for p in row:
            if p is None:
                colour += b'\0\0\0\0'
            else:
                colour += bytes((p[2], p[1], p[0], 255))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(mask_row)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def icon(draw):
    images = [image(draw(32)), image(draw(16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    for name, draw in (('qrt000.ico', program), ('qrt000_sdi.ico', checker),
                       ('qrt000_startup.ico', startup)):
        with open(os.path.join(sys.argv[1], name), 'wb') as f:
            f.write(icon(draw))


if __name__ == '__main__':
    main()
