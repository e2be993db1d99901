#!/usr/bin/env python3
"""Writes the demo's splash archive: a zip with the extension .splash holding
one BMP background (a dusk gradient with a few hills), 440 x 300 pixels.

usage: demo_picture.py OUT.splash
"""
import io
import math
import os
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "resources"))
from generate import bmp24  # noqa: E402

W, H = 440, 300


def pixel(x, y):
    t = y / H
    sky = (int(12 + 40 * t), int(38 + 70 * t), int(61 + 90 * t))
    hill = H * 0.72 + 18 * math.sin(x / 37.0) + 9 * math.sin(x / 13.0 + 1.3)
    if y > hill:
        return (10, 30 + int(20 * (y - hill) / H), 45)
    return sky


def main():
    data = bmp24(W, H, pixel)
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("readme.txt", "tolvaren demo splash picture\n")
        z.writestr("pictures/background.bmp", data)
    with open(sys.argv[1], "wb") as f:
        f.write(buf.getvalue())


if __name__ == "__main__":
    main()
