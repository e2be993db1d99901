#!/usr/bin/env python3
"""A destination volume that fills up during the copy (a 2 MiB tmpfs).

The free-space check passes (the files are small, but each takes a whole
page), the volume fills in the middle of the last, larger file, and the
copy fails. That file must not be left looking up to date: after the
volume is enlarged, the next run copies it whole.

Usage: volume_full.py WINE_RUN TOLVAREN_EXE   (exit 77: cannot mount here)
"""
import os
import subprocess
import sys
import tempfile

WINE_RUN, TOLVAREN = sys.argv[1:3]


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def run(box, ini):
    subprocess.run([WINE_RUN, TOLVAREN, winpath(ini), "/n"], cwd=box, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)


def main():
    box = tempfile.mkdtemp(prefix="tolvaren-volume-")
    src, dst = os.path.join(box, "src"), os.path.join(box, "dst")
    os.makedirs(src)
    os.makedirs(dst)
    for i in range(470):
        with open(os.path.join(src, "a%03d.txt" % i), "w") as f:
            f.write("x")
    big = bytes(range(256)) * 1024  # 256 KiB
    with open(os.path.join(src, "z.bin"), "wb") as f:
        f.write(big)
    os.utime(os.path.join(src, "z.bin"), (1600000000, 1600000000))
    ini = os.path.join(box, "run.ini")
    with open(ini, "wb") as f:
        f.write(("[Основные параметры]\r\nКаталогИсточник=%s\r\nКаталогПриемник=%s\r\nВыполнить=\r\n"
                 "ВопросПриОшибке=нет\r\n" % (winpath(src), winpath(dst))).encode("cp1251"))

    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", dst]).returncode != 0:
        print("cannot mount a tmpfs here: skipped")
        return 77
    failures = []
    try:
        run(box, ini)
        # The log cannot tell: a full volume takes its lines too.
        partial = os.path.join(dst, "z.bin")
        whole = os.path.exists(partial) and open(partial, "rb").read() == big
        if whole:
            failures.append("the volume did not fill up in the copy of z.bin")
        elif os.path.exists(partial) and abs(os.stat(partial).st_mtime - 1600000000) <= 2:
            failures.append("a partial z.bin is left with the source's time")
        subprocess.run(["mount", "-o", "remount,size=64m", dst], check=True)
        run(box, ini)
        if not os.path.exists(partial) or open(partial, "rb").read() != big:
            failures.append("the next run did not repair z.bin")
    finally:
        subprocess.run(["umount", dst])
        if not os.environ.get("KEEP"): subprocess.run(["rm", "-rf", box])
    for f in failures:
        print(f)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
