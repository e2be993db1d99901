#!/usr/bin/env python3
"""The layers point one way: no #include of the program's sources reaches a
layer above its own, or a layer beside it (splash and worker meet in core,
fsops and archive below sync).

    win <- core <- fsops, archive <- sync <- splash, worker <- app
"""
import os
import re
import sys

ROOT = sys.argv[1]
RANK = {"win": 0, "core": 1, "fsops": 2, "archive": 2, "sync": 3, "splash": 4, "worker": 4, "app": 5}
INCLUDE = re.compile(r'\s*#\s*include\s+"([a-z]+)/')

found = []
for layer in RANK:
    for here, _, names in os.walk(os.path.join(ROOT, layer)):
        for name in names:
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(here, name)
            for number, line in enumerate(open(path, encoding="utf-8"), 1):
                m = INCLUDE.match(line)
                if not m or m.group(1) not in RANK or m.group(1) == layer:
                    continue
                if RANK[m.group(1)] >= RANK[layer]:
                    found.append("%s:%d: %s" % (os.path.relpath(path, ROOT), number, line.strip()))
for f in found:
    print("includes against the layers:", f)
print("%d passed, %d failed" % (0 if found else 1, 1 if found else 0))
sys.exit(1 if found else 0)
