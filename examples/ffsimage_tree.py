#!/usr/bin/env python3
"""Builds a flash image from a host tree with ffsimage, reads it back and
checks it: every file of the tree is in the image with the same bytes, the
tree copied out again equals the source, and the volume check holds.

    ffsimage_tree.py TREE IMAGE [SIZE [FLASH_TYPE]]

Exit code 0 when everything matches, 1 otherwise."""
import filecmp
import os
import sys
import tempfile

import ffsimage


def host_files(tree):
    """Relative paths of the files vorel copies (no dotted directories)."""
    for dirpath, dirnames, filenames in os.walk(tree):
        dirnames[:] = sorted(d for d in dirnames if '.' not in d)
        for name in sorted(filenames):
            yield os.path.relpath(os.path.join(dirpath, name), tree)


def trees_equal(a, b):
    cmp = filecmp.dircmp(a, b)
    if cmp.left_only or cmp.right_only or cmp.diff_files or cmp.funny_files:
        return False
    return all(trees_equal(os.path.join(a, d), os.path.join(b, d)) for d in cmp.common_dirs)


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    tree, image_path = argv[1], argv[2]
    size = int(argv[3]) if len(argv) > 3 else 4 * 1024 * 1024
    flash_type = argv[4] if len(argv) > 4 else 'MX29LV640B'

    with ffsimage.create(image_path, size, flash_type) as image:
        for line in image.copy_in(tree):
            print('left out:', line)
        image.write_bytes('/built_by.txt', b'ffsimage example\n')

    ok = True
    with ffsimage.open(image_path, flash_type) as image:  # read-only
        for rel in host_files(tree):
            with open(os.path.join(tree, rel), 'rb') as f:
                if image.read_bytes('/' + rel) != f.read():
                    print('differs:', rel)
                    ok = False
        for dirpath, dirnames, filenames in image.walk('/'):
            print('%-30s %d dir(s), %d file(s)' % (dirpath, len(dirnames), len(filenames)))
        problems = image.check()
        for problem in problems:
            print('check:', problem)
        info = image.info()
        print('%d files, %d bytes, %d%% free' % (info['files'], info['bytes_in_files'],
                                                  info['stats_free_percent']))
        with tempfile.TemporaryDirectory() as back:
            image.copy_out('/', back)
            os.remove(os.path.join(back, 'built_by.txt'))
            same = trees_equal(tree, back)
    print('files read back:', 'identical' if ok else 'DIFFERENT')
    print('tree copied out:', 'identical' if same else 'DIFFERENT')
    print('volume check:', 'every invariant holds' if not problems else '%d violation(s)' % len(problems))
    return 0 if ok and same and not problems else 1


if __name__ == '__main__':
    sys.exit(main(sys.argv))
