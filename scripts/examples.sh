#!/usr/bin/env bash
# Runs the built tools on the bundled examples. Argument: the build directory.
# What the examples make stays in <build>/examples for the user to look at;
# the last lines say where it is and where the programs and modules are.
set -uo pipefail
build=$(cd "${1:-build/release}" && pwd)
cd "$(dirname "$0")/.."
work="$build/examples"
rm -rf "$work"
mkdir -p "$work"

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
echo "== ffsinspect check: example.img"
"$build/imagecheck/ffsinspect" "$work/example.img" check -flashType:MX29LV640B

# The modules under each interpreter they are built for: Python 2.7 (build/python)
# and Python 3 (build/python3).
python2=$(sed -n 's/^RELAY_PYTHON_py2_EXECUTABLE:INTERNAL=//p' "$build/CMakeCache.txt")
python3=$(sed -n 's/^RELAY_PYTHON_py3_EXECUTABLE:INTERNAL=//p' "$build/CMakeCache.txt")
for run in "$python2 python" "$python3 python3"; do
  set -- $run
  python=$1 modules="$build/$2"
  echo "== _TORVANE under $python: a CPU board image field by field -> $work/cpu_v4.eeprom"
  PYTHONPATH="$modules" "$python" examples/torvane/cpu_v4_image.py "$work/cpu_v4.eeprom"
  echo "_TORVANE example exit code: $?"

  echo "== _Kestor under $python: parameter file of examples/device_model/relay_model.xml"
  PYTHONPATH="$modules" "$python" examples/generate_parameter_file.py \
    examples/device_model/relay_model.xml "$work/relay_parameters.xml"
  echo "generate_parameter_file.py exit code: $?"
done
cat "$work/relay_parameters.xml"

echo "== ffsimage under $python3: the example tree -> ffsimage.img, read back and checked"
PYTHONPATH="$build/python3" "$python3" examples/ffsimage_tree.py "$work/tree" "$work/ffsimage.img"
echo "ffsimage_tree.py exit code: $?"

echo
echo "== programs: $build/converter/vorel, $build/imagecheck/ffsinspect"
echo "== Python modules: $build/python (Python 2.7), $build/python3 (Python 3 and the ffsimage package)"
echo "== results kept in: $work"
