#!/usr/bin/env bash
# Times vorel against the peers that build or copy the same tree, whole
# processes, in paired rounds: each round runs every tool once (in an order
# that rotates), and the ratios are taken within a round. Prints the median
# of every time and of every ratio over the rounds (at least 5):
#   - "ptf" and "ftp" of a tree of 2,000 files (6.8 MB) into a 32 MiB
#     M29W256G image, with mke2fs -d, genext2fs, mkfs.jffs2 (unpadded, no
#     compression) building an image of the same tree and cp -r copying it;
#   - "ptf" of trees of 500, 2,000 and 8,000 small files (0 to 4 KiB) into
#     the same image, and the fixed and per-file cost fitted to them;
#   - one "ptf" of a tree larger than the image, and the sector erases per
#     MiB copied (bench/erase_counts.py).
# Works on a tmpfs when /dev/shm is one (says which), so that the host disk's
# variance stays out of the figures.
# Usage: bench/vorel_bench.sh [build dir]   (default build/release)
#        VOREL_BENCH_ROUNDS=n (default 7, at least 5)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh genext2fs mtd-utils e2fsprogs
build=${1:-build/release}
rounds=${VOREL_BENCH_ROUNDS:-7}
[ "$rounds" -ge 5 ] || rounds=5
if [ ! -x "$build/converter/vorel" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRELAY_TESTS=OFF >/dev/null
  cmake --build "$build" --target vorel >/dev/null
fi
vorel=$(cd "$build/converter" && pwd)/vorel
PATH=$PATH:/usr/sbin:/sbin
. bench/bench_lib.sh
bench_workdir vorel-bench
export TEMP=$work
size=33554432

echo "vorel bench: $(date -u '+%Y-%m-%d %H:%M UTC'), $(uname -m), $(nproc) cores," \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "working directory on $where; load average $(cut -d' ' -f1-3 /proc/loadavg); $rounds rounds"

# tree DIR FILES SIZES... : FILES files in directories of 50, sizes cycling.
tree() { python3 bench/bench_tree.py "$@"; }
mixed="0 1 100 255 256 511 512 513 1000 2048 4096 6000 9000 12000 15000"
small="0 1 100 255 256 511 512 513 1000 2048 4096"
echo "tree: $(tree "$work/tree" 2000 $mixed)"

run_tool() {
  case $1 in
    ptf) rm -f "$work/v.img"; ms "$vorel" -dir:ptf "-src:$work/tree" "-dst:$work/v.img" "-size:$size" -flashType:M29W256G ;;
    ftp) rm -rf "$work/out"; ms "$vorel" -dir:ftp "-src:$work/v.img" "-dst:$work/out" -flashType:M29W256G ;;
    mke2fs) rm -f "$work/e.img"; ms mke2fs -q -F -t ext2 -d "$work/tree" "$work/e.img" 32M ;;
    genext2fs) rm -f "$work/g.img"; ms genext2fs -b 32768 -d "$work/tree" "$work/g.img" ;;
    jffs2) rm -f "$work/j.img"; ms mkfs.jffs2 --no-cleanmarkers -x zlib -x rtime -x lzo -e 131072 -d "$work/tree" -o "$work/j.img" ;;
    cp) rm -rf "$work/cpout"; ms cp -r "$work/tree" "$work/cpout" ;;
  esac
}

tools=(ptf mke2fs genext2fs jffs2 ftp cp)
declare -A times
for tool in "${tools[@]}"; do times[$tool]=""; done
ratio_mke2fs="" ratio_gen="" ratio_jffs="" ratio_cp=""
run_tool ptf >/dev/null  # the image ftp reads, and warm caches
for ((r = 0; r < rounds; r++)); do
  declare -A t=()
  for ((k = 0; k < ${#tools[@]}; k++)); do
    tool=${tools[$(((k + r) % ${#tools[@]}))]}
    # ftp reads the image of the latest ptf run (made before the first round).
    t[$tool]=$(run_tool "$tool")
    times[$tool]+=" ${t[$tool]}"
  done
  ratio_mke2fs+=" $(awk -v a="${t[ptf]}" -v b="${t[mke2fs]}" 'BEGIN { print a / b }')"
  ratio_gen+=" $(awk -v a="${t[ptf]}" -v b="${t[genext2fs]}" 'BEGIN { print a / b }')"
  ratio_jffs+=" $(awk -v a="${t[ptf]}" -v b="${t[jffs2]}" 'BEGIN { print a / b }')"
  ratio_cp+=" $(awk -v a="${t[ftp]}" -v b="${t[cp]}" 'BEGIN { print a / b }')"
done
if diff -r "$work/tree" "$work/out" >/dev/null; then echo "round trip: identical"; else echo "round trip: DIFFERS"; fi

echo
echo "2,000 files, medians of $rounds paired rounds (ms):"
printf '  %-36s %8.1f\n' "vorel ptf" "$(median <<<"${times[ptf]}")" \
  "mke2fs -d" "$(median <<<"${times[mke2fs]}")" \
  "genext2fs" "$(median <<<"${times[genext2fs]}")" \
  "mkfs.jffs2 (unpadded, no compression)" "$(median <<<"${times[jffs2]}")" \
  "vorel ftp" "$(median <<<"${times[ftp]}")" \
  "cp -r" "$(median <<<"${times[cp]}")"
echo "ratios, medians of the rounds' ratios (goal in brackets):"
printf '  %-36s %6.2f  (<= 1.0)\n' "vorel ptf / mke2fs -d" "$(median <<<"$ratio_mke2fs")"
printf '  %-36s %6.2f  (<= 0.7)\n' "vorel ptf / genext2fs" "$(median <<<"$ratio_gen")"
printf '  %-36s %6.2f  (<= 0.7)\n' "vorel ptf / mkfs.jffs2" "$(median <<<"$ratio_jffs")"
printf '  %-36s %6.2f  (<= 1.0)\n' "vorel ftp / cp -r" "$(median <<<"$ratio_cp")"

# Fixed and per-file cost: ptf of 500, 2,000 and 8,000 small files.
echo
echo "ptf by number of files (small files, 0 to 4 KiB), medians of $rounds runs:"
declare -A scale
for n in 500 2000 8000; do
  rm -rf "$work/s$n"
  desc=$(tree "$work/s$n" "$n" $small)
  runs=""
  for ((r = 0; r < rounds; r++)); do
    rm -f "$work/s.img"
    runs+=" $(ms "$vorel" -dir:ptf "-src:$work/s$n" "-dst:$work/s.img" "-size:$size" -flashType:M29W256G)"
  done
  scale[$n]=$(median <<<"$runs")
  printf '  %-36s %8.1f ms\n' "$desc" "${scale[$n]}"
  rm -rf "$work/s$n"
done
awk -v a="${scale[500]}" -v b="${scale[2000]}" -v c="${scale[8000]}" 'BEGIN {
  # least squares over the three points
  mx = (500 + 2000 + 8000) / 3; my = (a + b + c) / 3
  sxy = (500 - mx) * (a - my) + (2000 - mx) * (b - my) + (8000 - mx) * (c - my)
  sxx = (500 - mx) ^ 2 + (2000 - mx) ^ 2 + (8000 - mx) ^ 2
  k = sxy / sxx
  printf "  fit: %.1f ms fixed + %.1f us per file\n", my - k * mx, k * 1000 }'

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
t0=$EPOCHREALTIME
"$vorel" -dir:ptf "-src:$work/big" "-dst:$work/full.img" "-size:$size" -flashType:M29W256G >/dev/null 2>&1 || true
t_full=$(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", (b - a) * 1000 }')
"$vorel" -dir:ftp "-src:$work/full.img" "-dst:$work/fullout" -flashType:M29W256G >/dev/null 2>&1 || true
copied=$(du -sb "$work/fullout" | cut -f1)
erases=$(python3 bench/erase_counts.py "$work/full.img" 131072)
echo
printf '%-38s %8s ms (one run)\n' "vorel ptf, 40 MiB into 32 MiB" "$t_full"
awk -v e="$erases" -v b="$copied" 'BEGIN { printf "full image: %.1f MiB copied, %d sector erases, %.2f erases per MiB\n", b / 1048576, e, (b > 0 ? e * 1048576 / b : 0) }'
