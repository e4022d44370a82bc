#!/usr/bin/env bash
# Times writing the vorel bench's tree of 2,000 files (6.8 MB, 32 MiB
# M29W256G image) through ffsimage from Python against "vorel -dir:ptf" of
# the same tree, whole processes both (interpreter start and import
# included), in paired rounds with a rotating order; each ratio is the median
# of the rounds' ratios. Two ways from Python: Image.copy_in, and a Python
# loop of mkdir/write_bytes over os.walk. Each Python run also reports its
# writing alone (create to close, without the interpreter's start and the
# import). Goal: the writing at most 1.5 x vorel ptf.
# Usage: bench/ffsimage_bench.sh [build dir]   (default build/release)
#        FFSIMAGE_BENCH_ROUNDS=n (default 7, at least 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
rounds=${FFSIMAGE_BENCH_ROUNDS:-7}
[ "$rounds" -ge 5 ] || rounds=5
if [ ! -x "$build/converter/vorel" ] || ! ls "$build"/python3/ffsimage/_ffsimage.* >/dev/null 2>&1; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRELAY_TESTS=OFF >/dev/null
  cmake --build "$build" --target vorel ffsimage >/dev/null
fi
vorel=$(cd "$build/converter" && pwd)/vorel
python3=$(sed -n 's/^RELAY_PYTHON_py3_EXECUTABLE:INTERNAL=//p' "$build/CMakeCache.txt")
export PYTHONPATH=$(cd "$build/python3" && pwd)
. bench/bench_lib.sh
bench_workdir ffsimage-bench
export TEMP=$work
size=33554432

echo "ffsimage bench: $(date -u '+%Y-%m-%d %H:%M UTC'), $(uname -m), $(nproc) cores," \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "working directory on $where; load average $(cut -d' ' -f1-3 /proc/loadavg); $rounds rounds; $python3"
echo "tree: $(python3 bench/bench_tree.py "$work/tree" 2000 0 1 100 255 256 511 512 513 1000 2048 4096 6000 9000 12000 15000)"

run_tool() {
  case $1 in
    ptf) rm -f "$work/v.img"; ms "$vorel" -dir:ptf "-src:$work/tree" "-dst:$work/v.img" "-size:$size" -flashType:M29W256G ;;
    copy_in|files) rm -f "$work/p.img"
      local t0=$EPOCHREALTIME inner
      inner=$("$python3" bench/ffsimage_write.py "$work/tree" "$work/p.img" "$size" "$1" 2>/dev/null) || echo "  (failed: $1)" >&2
      awk -v a="$t0" -v b="$EPOCHREALTIME" -v i="$inner" 'BEGIN { printf "%.3f/%s", (b - a) * 1000, i }' ;;
  esac
}

tools=(ptf copy_in files)
declare -A times inner ratios
for ((r = 0; r < rounds; r++)); do
  declare -A t=()
  for ((k = 0; k < ${#tools[@]}; k++)); do
    tool=${tools[$(((r + k) % ${#tools[@]}))]}
    result=$(run_tool "$tool")
    t[$tool]=${result%%/*}
    times[$tool]="${times[$tool]:-} ${t[$tool]}"
    [ "$tool" = ptf ] || inner[$tool]="${inner[$tool]:-} ${result#*/}"
    [ "$tool" = ptf ] || t[$tool.inner]=${result#*/}
  done
  for w in copy_in files; do
    ratios[$w]+=" $(awk -v a="${t[$w]}" -v b="${t[ptf]}" 'BEGIN { print a / b }')"
    ratios[$w.inner]+=" $(awk -v a="${t[$w.inner]}" -v b="${t[ptf]}" 'BEGIN { print a / b }')"
  done
done
# The image copy_in writes is vorel's, byte for byte.
run_tool ptf >/dev/null; run_tool copy_in >/dev/null
cmp -s "$work/v.img" "$work/p.img" && same="identical" || same="DIFFERENT"

echo
echo "2,000 files, medians of $rounds paired rounds (ms; whole process / writing alone):"
printf "  %-44s %7.1f\n" "vorel ptf" "$(echo "${times[ptf]}" | median)"
printf "  %-44s %7.1f / %6.1f\n" "ffsimage copy_in (Python 3)" "$(echo "${times[copy_in]}" | median)" "$(echo "${inner[copy_in]}" | median)"
printf "  %-44s %7.1f / %6.1f\n" "ffsimage write_bytes loop (Python 3)" "$(echo "${times[files]}" | median)" "$(echo "${inner[files]}" | median)"
echo "ratios to vorel ptf, medians of the rounds' ratios (whole process / writing alone; goal: writing <= 1.5):"
for w in copy_in files; do
  printf "  %-44s %7.2f / %6.2f\n" "ffsimage $w / vorel ptf" "$(echo "${ratios[$w]}" | median)" "$(echo "${ratios[$w.inner]}" | median)"
done
echo "copy_in image against vorel's: $same"
