"""ffsimage_write.py TREE IMAGE SIZE MODE: one timed unit of the ffsimage
bench, a whole process like a vorel run. MODE "copy_in" copies the tree with
Image.copy_in; MODE "files" walks the tree in Python and writes every file
with mkdir and write_bytes (what a script that builds its own content does).
Prints the milliseconds from create to the end of close (the interpreter's
start and the import left out)."""
import os
import sys
import time

import ffsimage

tree, image_path, size, mode = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
start = time.perf_counter()
with ffsimage.create(image_path, size, 'M29W256G') as image:
    if mode == 'copy_in':
        image.copy_in(tree)
    else:
        for dirpath, dirnames, filenames in os.walk(tree):
            dirnames.sort()
            rel = os.path.relpath(dirpath, tree)
            target = '/' if rel == '.' else '/' + rel
            if rel != '.':
                image.mkdir(target)
            for name in sorted(filenames):
                with open(os.path.join(dirpath, name), 'rb') as f:
                    image.write_bytes(target + '/' + name, f.read())
print('%.3f' % ((time.perf_counter() - start) * 1000))  # the writing alone, in ms
