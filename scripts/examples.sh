#!/usr/bin/env bash
# Runs the built tools on the bundled examples. Argument: the build directory.
set -uo pipefail
build=$(cd "${1:-build/release}" && pwd)
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# vorel: the example tree into an image and back. Git keeps no empty
# directories, so the tree's empty directory is added to the working copy.
cp -r examples/tree "$work/tree"
mkdir -p "$work/tree/empty"
echo "== vorel ptf: examples/tree -> example.img (4 MiB, MX29LV640B)"
"$build/converter/vorel" -dir:ptf "-src:$work/tree" "-dst:$work/example.img" -size:4194304 -flashType:MX29LV640B
echo "== vorel ftp: example.img -> tree_back"
"$build/converter/vorel" -dir:ftp "-src:$work/example.img" "-dst:$work/tree_back" -flashType:MX29LV640B
if diff -r "$work/tree" "$work/tree_back" >/dev/null 2>&1; then
  echo "== round trip: the tree read back equals the source tree"
else
  echo "== round trip: the tree read back DIFFERS from the source tree"
fi
