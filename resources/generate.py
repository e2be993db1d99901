#!/usr/bin/env python3
"""Generates the binary resources of tolvaren at build time.

usage: generate.py TEMPLATE_UTF8 OUTDIR
  OUTDIR/tolvaren.ini  the INI template: Windows-1251, CR LF, no line end after the last line
  OUTDIR/strip.bmp     the progress strip: 24-bit, 1228 x 3, a highlight over a base colour
  OUTDIR/tolvaren.ico  the program icon: 32 x 32 and 16 x 16
"""
import math
import os
import struct
import sys

STRIP_WIDTH = 1228
BASE = (23, 71, 94)
PEAK = (23, 159, 193)
HIGHLIGHT = (399, 584, 793)  # first column, brightest column, last column


def template(src, dst):
    with open(src, encoding="utf-8") as f:
        lines = f.read().split("\n")
    while lines and lines[-1] == "":
        lines.pop()
    data = "\r\n".join(lines).encode("cp1251")
    with open(dst, "wb") as f:
        f.write(data)


def bmp24(width, height, pixel):
    """pixel(x, y) -> (r, g, b), y counted from the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):  # bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - width * 3)
        rows.append(bytes(row))
    image = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(image), 0, 0, 14 + len(info))
    return header + info + image


def strip_colour(x):
    first, peak, last = HIGHLIGHT
    if x < first or x > last:
        t = 0.0
    elif x <= peak:
        t = (x - first) / (peak - first)
    else:
        t = (last - x) / (last - peak)
    t = (1 - math.cos(math.pi * t)) / 2  # smooth rise and fall
    return tuple(round(b + (p - b) * t) for b, p in zip(BASE, PEAK))


def icon_image(size):
    """A 32-bit icon image: a rounded blue square with two arrows of the sync."""
    def pixel(x, y):
        cx = cy = (size - 1) / 2
        d = math.hypot(x - cx, y - cy)
        if d > size * 0.48:
            return (0, 0, 0, 0)
        ring = abs(d - size * 0.30) < size * 0.07
        if ring and not (abs(x - cx) < size * 0.12 and y < cy) and not (abs(x - cx) < size * 0.12 and y > cy + size * 0.1):
            return (23, 159, 193, 255)
        return (12, 38, 61, 255)

    xor = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = pixel(x, y)
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_stride * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + bytes(xor) + mask


def icon(dst):
    images = [icon_image(32), icon_image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, img in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(dst, "wb") as f:
        f.write(out + b"".join(images))


def main():
    src, outdir = sys.argv[1], sys.argv[2]
    os.makedirs(outdir, exist_ok=True)
    template(src, os.path.join(outdir, "tolvaren.ini"))
    with open(os.path.join(outdir, "strip.bmp"), "wb") as f:
        f.write(bmp24(STRIP_WIDTH, 3, lambda x, y: strip_colour(x)))
    icon(os.path.join(outdir, "tolvaren.ico"))


if __name__ == "__main__":
    main()
