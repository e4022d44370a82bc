#!/usr/bin/env bash
# Soak run of vorel (not a test): "ptf" and "ftp" of a tree of 50,000 small
# files and of one 30 MiB file, each into a 32 MiB M29W256G image. Checks that
# the tree comes back identical and prints wall time and peak memory (GNU
# time -v) of every run, as a table for the README.
# Usage: bench/soak.sh [build dir]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh time
build=${1:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRELAY_TESTS=OFF >/dev/null
cmake --build "$build" >/dev/null
vorel=$(cd "$build/converter" && pwd)/vorel
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
size=33554432

python3 - "$work" <<'PY'
import os, random, sys
random.seed(15)
work = sys.argv[1]
small = os.path.join(work, "small")
# 50,000 files in 100 directories; half are empty, the rest 1 to 200 bytes.
for d in range(100):
    path = os.path.join(small, "d%03d" % d)
    os.makedirs(path)
    for f in range(500):
        n = 0 if f % 2 else random.randint(1, 200)
        with open(os.path.join(path, "f%03d" % f), "wb") as fh:
            fh.write(os.urandom(n))
big = os.path.join(work, "big")
os.makedirs(big)
with open(os.path.join(big, "image30"), "wb") as fh:
    for _ in range(30):
        fh.write(os.urandom(1 << 20))
PY

# run NAME ARGS...: runs vorel under GNU time, prints one table row.
run() {
  local name=$1; shift
  local log=$work/$name.time status=ok
  /usr/bin/time -v -o "$log" "$vorel" "$@" >"$work/$name.out" 2>&1 || status="exit $?"
  local wall rss
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$log")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log")
  printf '| %-10s | %-9s | %10s | %8s MiB | %s\n' "$name" "$status" "$wall" "$((rss / 1024))" \
    "$(grep -v "^ *$" "$work/$name.out" | tail -n 1)"
}

echo "| run        | status    | wall       | peak RSS     | last message"
for tree in small big; do
  run "$tree-ptf" -dir:ptf "-src:$work/$tree" "-dst:$work/$tree.img" "-size:$size" -flashType:M29W256G
  run "$tree-ftp" -dir:ftp "-src:$work/$tree.img" "-dst:$work/$tree.out" -flashType:M29W256G
  if diff -r "$work/$tree" "$work/$tree.out" >/dev/null 2>&1; then
    echo "$tree: round trip identical ($(find "$work/$tree" -type f | wc -l) files)"
  else
    total=$(find "$work/$tree" -type f | wc -l)
    back=$(find "$work/$tree.out" -type f 2>/dev/null | wc -l)
    differ=$(diff -rq "$work/$tree" "$work/$tree.out" 2>/dev/null | grep -vc "^Only in $work/$tree:\|^Only in $work/$tree/" || true)
    echo "$tree: round trip DIFFERS: $back of $total files came back, $differ differ or are extra"
  fi
done
