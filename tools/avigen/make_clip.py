#!/usr/bin/env python3
"""Writes the download window's animation: a small uncompressed 8-bit AVI clip
(a sheet of paper travelling from a server box to a computer), which the
animation control plays without a codec.

usage: make_clip.py OUT.avi
"""
import struct
import sys

WIDTH, HEIGHT, FRAMES = 64, 32, 8
# Palette: 0 background (transparent in the control), 1 outline, 2 box face, 3 paper.
PALETTE = [(192, 192, 192), (0, 0, 0), (144, 200, 200), (255, 255, 255)]


def frame(n):
    rows = [[0] * WIDTH for _ in range(HEIGHT)]

    def box(x0, y0, x1, y1, face):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = y in (y0, y1) or x in (x0, x1)
                rows[y][x] = 1 if edge else face

    box(2, 6, 15, 27, 2)     # the server
    box(48, 8, 61, 21, 2)    # the computer's screen
    box(44, 23, 61, 27, 2)   # its keyboard
    x = 17 + n * 3           # the paper on its way
    box(x, 10, x + 6, 18, 3)
    # Bitmaps are stored bottom-up.
    return b"".join(bytes(r) for r in reversed(rows))


def chunk(fourcc, data):
    pad = b"\0" if len(data) % 2 else b""
    return fourcc + struct.pack("<I", len(data)) + data + pad


def lst(kind, data):
    return chunk(b"LIST", kind + data)


def main(out):
    size = WIDTH * HEIGHT
    frames = [frame(n) for n in range(FRAMES)]
    usec = 125000
    avih = struct.pack("<IIIIIIIIII4I", usec, size * 8, 0, 0x10, FRAMES, 0, 1, size,
                       WIDTH, HEIGHT, 0, 0, 0, 0)
    strh = struct.pack("<4s4sIHHIIIIIIII4h", b"vids", b"DIB ", 0, 0, 0, 0, 1, 8, 0, FRAMES,
                       size, 0xFFFFFFFF, 0, 0, 0, WIDTH, HEIGHT)
    bih = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, size, 0, 0, len(PALETTE),
                      len(PALETTE))
    pal = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    hdrl = lst(b"hdrl", chunk(b"avih", avih) + lst(b"strl", chunk(b"strh", strh) +
                                                  chunk(b"strf", bih + pal)))
    movi_body = b""
    index = b""
    for f in frames:
        # Offsets in idx1 count from the "movi" four-character code.
        index += struct.pack("<4sIII", b"00db", 0x10, 4 + len(movi_body), len(f))
        movi_body += chunk(b"00db", f)
    body = b"AVI " + hdrl + lst(b"movi", movi_body) + chunk(b"idx1", index)
    with open(out, "wb") as fp:
        fp.write(b"RIFF" + struct.pack("<I", len(body)) + body)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
