#!/usr/bin/env python3
"""Every deletion of a pass goes through the deletion gate: no program source
calls a Windows or C deletion function but the file-system calls behind the
gate, and only the gate (and the copy, for the partial copy it wrote itself)
deletes through them. The run logs and the template writer delete only files
they created themselves."""
import os
import re
import sys

ROOT = sys.argv[1]
ALLOWED = {"fsops/fs_calls.cpp", "app/run_logs.cpp", "app/ini_template.cpp"}
GATE = {"fsops/deletion_gate.cpp", "fsops/tree_removal.cpp", "fsops/copy.cpp", "worker/gated_calls.h", "fsops/fs_calls.h"}
CALLS = re.compile(r"\b(DeleteFile[AW]?|RemoveDirectory[AW]?|SHFileOperation[AW]?|MoveFileEx[AW]?|_unlink|"
                   r"_rmdir|std::remove|_wremove)\s*\(")

found = []
for top in ("app", "sync", "fsops", "worker", "splash", "archive", "core", "win"):
    for here, _, names in os.walk(os.path.join(ROOT, top)):
        for name in names:
            rel = os.path.relpath(os.path.join(here, name), ROOT)
            if rel in ALLOWED or not name.endswith((".cpp", ".h")):
                continue
            for number, line in enumerate(open(os.path.join(here, name), encoding="utf-8"), 1):
                if CALLS.search(line) or (rel not in GATE and re.search(r"\bdeleteOpened\s*\(", line)):
                    found.append("%s:%d: %s" % (rel, number, line.strip()))
for f in found:
    print("deletes outside the gate:", f)
print("%d passed, %d failed" % (0 if found else 1, 1 if found else 0))
sys.exit(1 if found else 0)
