#!/usr/bin/env python3
"""Fails when the modules of src/ include each other in a circle, directly or
through others. A module is a header with its source file (driver/run.h and
driver/run.cpp are driver/run); an edge is a quoted #include."""
import pathlib
import re
import sys

src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
edges = {}
for path in sorted(list(src.rglob("*.h")) + list(src.rglob("*.cpp"))):
    module = path.relative_to(src).with_suffix("").as_posix()
    for included in re.findall(r'^#include "([^"]+)"', path.read_text(), re.M):
        target = pathlib.PurePosixPath(included).with_suffix("").as_posix()
        if target != module:
            edges.setdefault(module, set()).add(target)

state = {}  # 1: on the current path, 2: done


def visit(module, path):
    state[module] = 1
    for target in sorted(edges.get(module, ())):
        if state.get(target) == 1:
            print("include circle: " + " -> ".join(path[path.index(target):] + [target]))
            return False
        if target not in state and not visit(target, path + [target]):
            return False
    state[module] = 2
    return True


if not all(visit(m, [m]) for m in sorted(edges) if m not in state):
    sys.exit(1)
print(f"no include circle among {len(edges)} modules of {src}")
