# What the benches share: the working directory (a tmpfs when /dev/shm is
# one, since a disk-backed one varied several-fold between runs), the wall
# time of one process and the median of a list. Sourced by the bench scripts.
bench_workdir() {  # bench_workdir NAME: sets work and where; removed on exit
  if [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = tmpfs ]; then
    work=$(mktemp -d "/dev/shm/$1.XXXXXX"); where="tmpfs (/dev/shm)"
  else
    work=$(mktemp -d); where="$(stat -f -c %T "$work") ($(dirname "$work"), no tmpfs found)"
  fi
  trap 'rm -rf "$work"' EXIT
}

# ms CMD... : wall time of one run in milliseconds; a failed run is reported.
ms() {
  local t0 t1
  t0=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || echo "  (failed: $*)" >&2
  t1=$EPOCHREALTIME
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) * 1000 }'
}
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
