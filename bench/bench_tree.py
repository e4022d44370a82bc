"""bench_tree.py DIR FILES SIZES... : FILES files in directories of 50, sizes
cycling through SIZES, random bytes from a fixed seed (the same tree on every
run). Prints "N files, B bytes". Shared by the vorel and ffsimage benches."""
import os
import random
import sys

root, files, sizes = sys.argv[1], int(sys.argv[2]), [int(s) for s in sys.argv[3:]]
random.seed(7)
total = 0
for i in range(files):
    path = os.path.join(root, "dir%03d" % (i // 50))
    os.makedirs(path, exist_ok=True)
    n = sizes[i % len(sizes)]
    with open(os.path.join(path, "file%03d" % (i % 50)), "wb") as fh:
        fh.write(random.randbytes(n))
    total += n
print("%d files, %d bytes" % (files, total))
