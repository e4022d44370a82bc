#!/usr/bin/env bash
# Times vorel "ptf" and "ftp" on a generated tree (2,000 files of mixed sizes,
# about 8 MiB) into a 32 MiB M29W256G image, and in the same run the peers
# building an image of the same tree: genext2fs, mkfs.jffs2 without
# compression and mke2fs -d. Prints every time and vorel's ratio to each.
# Then fills a 32 MiB image with a tree larger than it (about 40 MiB) and
# prints the time of that "ptf" and the sector erases per MiB copied, read
# from the image's newest checkpoint (bench/erase_counts.py).
# Usage: bench/vorel_bench.sh [build dir]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh genext2fs mtd-utils e2fsprogs
build=${1:-build/release}
if [ ! -x "$build/converter/vorel" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRELAY_TESTS=OFF >/dev/null
  cmake --build "$build" >/dev/null
fi
vorel=$(cd "$build/converter" && pwd)/vorel
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The tree: 40 directories of 50 files, sizes cycling through small and mid sizes.
python3 - "$work/tree" <<'PY'
import os, random, sys
random.seed(7)
root = sys.argv[1]
sizes = [0, 1, 100, 255, 256, 511, 512, 513, 1000, 2048, 4096, 6000, 9000, 12000, 15000]
total = 0
for d in range(40):
    path = os.path.join(root, "dir%02d" % d)
    os.makedirs(path)
    for f in range(50):
        n = sizes[(d * 50 + f) % len(sizes)]
        with open(os.path.join(path, "file%03d" % f), "wb") as fh:
            fh.write(bytes(random.getrandbits(8) for _ in range(n)))
        total += n
print("tree: 2000 files, %d bytes" % total)
PY

seconds() {
  local TIMEFORMAT=%R
  { time "$@" >/dev/null 2>&1 || echo "  (failed: $1)" >&2; } 2>&1 | tail -n 1
}
size=33554432
t_ptf=$(seconds "$vorel" -dir:ptf "-src:$work/tree" "-dst:$work/v.img" "-size:$size" -flashType:M29W256G)
t_ftp=$(seconds "$vorel" -dir:ftp "-src:$work/v.img" "-dst:$work/out" -flashType:M29W256G)
t_gen=$(seconds genext2fs -b 32768 -d "$work/tree" "$work/g.img")
t_jffs=$(seconds mkfs.jffs2 --no-cleanmarkers -x zlib -x rtime -x lzo -e 131072 -d "$work/tree" -o "$work/j.img")
t_mke2=$(seconds mke2fs -q -F -t ext2 -d "$work/tree" "$work/e.img" 32M)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
printf '%-28s %8s s\n' "vorel ptf" "$t_ptf" "vorel ftp" "$t_ftp" "genext2fs" "$t_gen" \
  "mkfs.jffs2 (no compression)" "$t_jffs" "mke2fs -d" "$t_mke2"
echo "ratio vorel ptf / genext2fs:  $(ratio "$t_ptf" "$t_gen")"
echo "ratio vorel ptf / mkfs.jffs2: $(ratio "$t_ptf" "$t_jffs")"
echo "ratio vorel ptf / mke2fs -d:  $(ratio "$t_ptf" "$t_mke2")"
if diff -r "$work/tree" "$work/out" >/dev/null; then echo "round trip: identical"; else echo "round trip: DIFFERS"; fi

# A full image: 40 MiB offered, the copy stops when the image is full.
python3 - "$work/big" <<'PY'
import os, random, sys
random.seed(11)
root = sys.argv[1]
for d in range(20):
    path = os.path.join(root, "d%02d" % d)
    os.makedirs(path)
    for f in range(40):
        with open(os.path.join(path, "f%03d" % f), "wb") as fh:
            fh.write(random.randbytes(random.choice([3000, 20000, 52000, 90000])))
PY
# (vorel ends with -1 here: the tree does not fit, which is the point)
t_full=$( { TIMEFORMAT=%R; time "$vorel" -dir:ptf "-src:$work/big" "-dst:$work/full.img" "-size:$size" \
  -flashType:M29W256G >/dev/null 2>&1 || true; } 2>&1 | tail -n 1)
"$vorel" -dir:ftp "-src:$work/full.img" "-dst:$work/fullout" -flashType:M29W256G >/dev/null 2>&1 || true
copied=$(du -sb "$work/fullout" | cut -f1)
erases=$(python3 bench/erase_counts.py "$work/full.img" 131072)
printf '%-28s %8s s\n' "vorel ptf, full 32 MiB" "$t_full"
awk -v e="$erases" -v b="$copied" 'BEGIN { printf "full image: %.1f MiB copied, %d sector erases, %.2f erases per MiB\n", b / 1048576, e, (b > 0 ? e * 1048576 / b : 0) }'
