#!/usr/bin/env python3
"""Writes the launcher's three icons: the program (a gazette page), the SDI
checker (the page with a magnifier) and the start-up shortcut (the page with a
clock); and the checker's own icon (the page with a magnifier). Each file holds
the sizes the shell asks for: 16, 32 and 48 pixels as 32-bit colour with their
transparency mask, and 256 pixels as a PNG image, as Windows keeps its large
icons.

usage: make_icons.py LAUNCHER_DIR CHECKER_DIR
"""
import os
import struct
import sys
import zlib

SIZES = (256, 48, 32, 16)

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


def png(px):
    """One icon image as a PNG file: 8-bit RGBA, no interlace."""
    size = len(px)
    raw = bytearray()
    for row in px:
        raw.append(0)  # no filter
        for p in row:
            raw += b'\0\0\0\0' if p is None else bytes((p[0], p[1], p[2], 255))

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))

    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def icon(draw):
    images = [png(draw(size)) if size >= 256 else image(draw(size)) for size in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        side = 0 if size >= 256 else size  # 0 stands for 256
        out += struct.pack('<BBBBHHII', side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    for folder, name, draw in ((1, 'qrt000.ico', program), (1, 'qrt000_sdi.ico', checker),
                               (1, 'qrt000_startup.ico', startup), (2, 'qrt100.ico', checker)):
        with open(os.path.join(sys.argv[folder], name), 'wb') as f:
            f.write(icon(draw))


if __name__ == '__main__':
    main()
