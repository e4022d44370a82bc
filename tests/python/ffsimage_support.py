"""What the ffsimage suites share: temporary directories, host trees, and
the programs of the build (vorel, ffsinspect) named by the environment."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

import ffsimage

OLD, NEW = 'MX29LV640B', 'M29W256G'
MIB = 1 << 20


class TempDirTest(unittest.TestCase):
    """A fresh temporary directory per test, removed afterwards; an image
    left open by a failing test is closed so that the next one can open."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='ffsimage-')
        self.images = []

    def tearDown(self):
        for image in self.images:
            try:
                image.close()
            except OSError:
                pass
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def create(self, name='x.img', size=MIB, flash_type=OLD):
        image = ffsimage.create(self.path(name), size, flash_type)
        self.images.append(image)
        return image

    def open(self, name='x.img', flash_type=OLD, writable=False):
        image = ffsimage.open(self.path(name), flash_type, writable)
        self.images.append(image)
        return image


def make_tree(root, seed, files=30, max_size=3000):
    """A host tree of random files in nested directories, with the entries
    vorel leaves out (a dotted directory, a link to a directory)."""
    rng = random.Random(seed)
    dirs = [root]
    os.makedirs(root)
    for i in range(files):
        if rng.random() < 0.2:
            d = os.path.join(rng.choice(dirs), 'd%d' % i)
            os.mkdir(d)
            dirs.append(d)
        with open(os.path.join(rng.choice(dirs), 'f%d.bin' % i), 'wb') as f:
            f.write(bytes(rng.getrandbits(8) for _ in range(rng.choice([0, 1, 255, 256, 257, 512, rng.randrange(max_size)]))))
    os.mkdir(os.path.join(root, 'skip.me'))
    os.symlink(dirs[-1], os.path.join(root, 'link_to_dir'))
    return root


def host_tree(root):
    """{relative path: bytes or None for a directory} of a host tree."""
    out = {}
    for dirpath, dirnames, filenames in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        for d in dirnames:
            out[os.path.normpath(os.path.join(rel, d))] = None
        for f in filenames:
            with open(os.path.join(dirpath, f), 'rb') as h:
                out[os.path.normpath(os.path.join(rel, f))] = h.read()
    return out


def image_tree(image, top='/'):
    """{path: bytes or None for a directory} of an image."""
    out = {}
    for dirpath, dirnames, filenames in image.walk(top):
        for d in dirnames:
            out[ffsimage._join(dirpath, d)] = None
        for f in filenames:
            p = ffsimage._join(dirpath, f)
            out[p] = image.read_bytes(p)
    return out


def run(command, **kwargs):
    child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             universal_newlines=True, **kwargs)
    out, err = child.communicate()
    return child.returncode, out, err


def main():
    unittest.main(argv=sys.argv)
