#!/usr/bin/env python3
"""Prints the total sector erase count recorded in a vorel image's newest
checkpoint: the maximum erase count and, per sector, its distance below it
(one nibble each, capped at 15). Usage: erase_counts.py image sector_size"""
import struct
import sys

def main():
    image = open(sys.argv[1], "rb").read()
    sector_size = int(sys.argv[2])
    sectors = len(image) // sector_size
    # Cluster size as registration derives it: 512, doubled while the
    # cluster count would exceed 65531.
    cluster, count = 512, len(image) // 512
    while count > 65531:
        cluster, count = cluster * 2, count // 2
    per_sector = sector_size // cluster
    bitmap = (per_sector + 7) // 8
    best = None
    for s in range(sectors):
        base = s * sector_size
        start = None
        for i in range(bitmap - 1, -1, -1):
            b = image[base + i]
            if b != 0xFF:
                ones = 0
                while ones < 8 and b & (1 << ones):
                    ones += 1
                start = i * 8 + 7 - ones
                break
        if start is None or start < 1 or start >= per_sector:
            continue
        at = base + start * cluster
        seq = struct.unpack_from("<I", image, at + 4)[0]
        if best is None or ((seq - best[0]) & 0xFFFFFFFF) - (1 << 32 if (seq - best[0]) & 0x80000000 else 0) > 0:
            best = (seq, at)
    if best is None:
        sys.exit("no checkpoint found")
    at = best[1]
    maximum = struct.unpack_from("<I", image, at + 32)[0]
    total = 0
    for s in range(sectors):
        byte = image[at + 36 + s // 2]
        nibble = byte >> 4 if s % 2 == 0 else byte & 0x0F
        total += maximum - nibble
    print(total)

main()
