#!/usr/bin/env bash
# Runs the built tools on the bundled examples. Argument: the build directory.
set -uo pipefail
build=$(cd "${1:-build/release}" && pwd)
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "== vorel ptf: examples/tree -> $work/example.img"
"$build/converter/vorel" -dir:ptf -src:examples/tree "-dst:$work/example.img" -size:4194304 -flashType:MX29LV640B
echo "vorel exit code: $?"
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
