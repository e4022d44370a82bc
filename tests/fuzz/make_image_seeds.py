#!/usr/bin/env python3
"""Makes the seed images of the image fuzz target with vorel: small trees
into images of 4 to 8 sectors of both flash types, and copies of some of them
with an interrupted commit (the newest checkpoint's start bit never cleared)
or an interrupted erase (a sector erased without its signature, or half
erased). A seed is one byte (bit 0 flash type, (byte >> 1) % 5 + 4 sectors)
and the image without its trailing erased bytes.

usage: make_image_seeds.py VOREL OUTPUT_DIR"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

TYPES = {0: ("MX29LV640B", 0x10000), 1: ("M29W256G", 0x20000)}
CLUSTER = 512  # cluster size of images of up to 8 sectors of either type


def make_tree(root, kind):
    rnd = random.Random(kind)
    os.makedirs(root)
    if kind == "empty":
        return
    if kind == "mixed":
        for i, n in enumerate([0, 1, 511, 512, 513, 2000, 9000]):
            with open(os.path.join(root, "f%d.bin" % i), "wb") as f:
                f.write(bytes(rnd.getrandbits(8) for _ in range(n)))
        os.makedirs(os.path.join(root, "sub", "deeper"))
        with open(os.path.join(root, "sub", "a.txt"), "wb") as f:
            f.write(b"hello\n" * 50)
        with open(os.path.join(root, "sub", "deeper", "b"), "wb") as f:
            f.write(b"x" * 1500)
    if kind == "many":
        for d in range(3):
            sub = os.path.join(root, "d%d" % d)
            os.makedirs(sub)
            for i in range(25):
                with open(os.path.join(sub, "name_%02d_%s" % (i, "l" * (i * 2))), "wb") as f:
                    f.write(bytes([i]) * (i * 37))


def image_of(vorel, tree, type_bit, sectors, work):
    name, sector = TYPES[type_bit]
    path = os.path.join(work, "image")
    if os.path.exists(path):
        os.remove(path)
    subprocess.run([vorel, "-dir:ptf", "-src:" + tree, "-dst:" + path,
                    "-size:%d" % (sector * sectors), "-flashType:" + name],
                   check=True, stdout=subprocess.DEVNULL)
    with open(path, "rb") as f:
        return bytearray(f.read())


def save(out_dir, name, type_bit, sectors, image):
    data = bytes(image).rstrip(b"\xff")
    with open(os.path.join(out_dir, name), "wb") as f:
        f.write(bytes([(sectors - 4) * 2 + type_bit]) + data)


def starts(image, sector):
    """(sequence, byte offset of the bitmap byte, bit) of every checkpoint start."""
    per_sector = sector // CLUSTER
    found = []
    for base in range(0, len(image), sector):
        for r in range(per_sector):
            byte = image[base + r // 8]
            if not byte & (0x80 >> (r % 8)):
                at = base + r * CLUSTER
                found.append((struct.unpack_from("<I", image, at + 4)[0], base + r // 8, 0x80 >> (r % 8)))
    return found


def main():
    vorel, out_dir = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    work = tempfile.mkdtemp()
    try:
        for kind in ("empty", "mixed", "many"):
            make_tree(os.path.join(work, kind), kind)
        for type_bit, sectors, kind in [(0, 4, "mixed"), (0, 8, "many"), (1, 4, "mixed"),
                                        (1, 6, "many"), (0, 5, "empty"), (1, 8, "empty")]:
            image = image_of(vorel, os.path.join(work, kind), type_bit, sectors, work)
            tag = "%s_%s%d" % (kind, "new" if type_bit else "old", sectors)
            save(out_dir, tag + ".bin", type_bit, sectors, image)
            if kind != "mixed":
                continue
            sector = TYPES[type_bit][1]
            cuts = sorted(starts(image, sector))
            if cuts:
                _, offset, bit = cuts[-1]
                cut = bytearray(image)
                cut[offset] |= bit  # the commit's clusters are written, its start is not
                save(out_dir, tag + "_commit_cut.bin", type_bit, sectors, cut)
                newest_sector = offset // sector
                victim = (newest_sector + 1) % sectors
                erased = bytearray(image)
                erased[victim * sector:(victim + 1) * sector] = b"\xff" * sector
                save(out_dir, tag + "_erase_unsigned.bin", type_bit, sectors, erased)
                half = bytearray(image)
                half[victim * sector:victim * sector + sector // 2] = b"\xff" * (sector // 2)
                save(out_dir, tag + "_erase_half.bin", type_bit, sectors, half)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
