#!/usr/bin/env python3
# file_tree.py BASE COUNT BYTES [index]: COUNT files of BYTES each under BASE/tree, spread over
# folders three deep (ten to a folder), as an update package holds them; with "index", an
# INDEX.UPD in BASE with one entry per file that always copies it.
import os
import sys

base, count, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
block = os.urandom(size)
entries = []
for i in range(count):
    rel = os.path.join(*["d%d" % ((i // 10 ** k) % 10) for k in range(1, 4)], "f%05d.bin" % i)
    path = os.path.join(base, "tree", rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(block)
    win = "tree\\" + rel.replace("/", "\\")
    entries.append("FILE,%s,%s,Always\r\n" % (win, win))
if len(sys.argv) > 4 and sys.argv[4] == "index":
    with open(os.path.join(base, "INDEX.UPD"), "w", newline="") as index:
        index.writelines(entries)
