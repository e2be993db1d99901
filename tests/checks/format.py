#!/usr/bin/env python3
"""Every C++ source of the program and its tests is laid out as .clang-format
says, so that a change shows only what it changes."""
import os
import subprocess
import sys

ROOT = sys.argv[1]
files = []
for top in ("app", "archive", "core", "fsops", "splash", "sync", "win", "worker", "tests"):
    for here, _, names in os.walk(os.path.join(ROOT, top)):
        files += [os.path.join(here, n) for n in sorted(names) if n.endswith((".cpp", ".h"))]
result = subprocess.run(["clang-format", "--style=file", "--dry-run", "--Werror"] + files, cwd=ROOT,
                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
unformatted = sorted({line.split(":")[0] for line in result.stdout.splitlines() if ": error:" in line})
for path in unformatted:
    print("not formatted (run clang-format -i):", os.path.relpath(path, ROOT))
print("%d files, %d not formatted" % (len(files), len(unformatted)))
sys.exit(1 if result.returncode else 0)
