#!/usr/bin/env python3
"""Fails when folders of src/ include each other in a circle.

Layers run one way (core folders below UI folders below app/); an include that
closes a circle means a class sits in the wrong folder. Prints each folder's
dependencies, then every circle found.
"""
import os
import re
import sys

src = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
include = re.compile(r'#include\s+"([^"/]+)/')
deps = {}
for folder in sorted(os.listdir(src)):
    path = os.path.join(src, folder)
    if not os.path.isdir(path):
        continue
    deps[folder] = set()
    for root, _, files in os.walk(path):
        for name in files:
            if name.endswith((".h", ".cpp")):
                with open(os.path.join(root, name), errors="replace") as f:
                    for m in include.finditer(f.read()):
                        other = m.group(1)
                        if other != folder and os.path.isdir(os.path.join(src, other)):
                            deps[folder].add(other)


def reaches(start):
    seen, todo = set(), [start]
    while todo:
        for b in deps.get(todo.pop(), ()):
            if b not in seen:
                seen.add(b)
                todo.append(b)
    return seen


for folder in sorted(deps):
    print(f"{folder}: {' '.join(sorted(deps[folder])) or '-'}")
circles = sorted(f"{a} -> {b}" for a in deps for b in deps[a] if a in reaches(b))
if circles:
    print("Folders that include each other in a circle:")
    for c in circles:
        print("  " + c)
    sys.exit(1)
print("No circles.")
