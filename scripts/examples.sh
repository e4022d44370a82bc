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
python=$(sed -n 's/^RELAY_PYTHON_EXECUTABLE:INTERNAL=//p' "$build/CMakeCache.txt")
echo "== _TORVANE: a CPU board image field by field -> $work/cpu_v4.eeprom"
PYTHONPATH="$build/python" "$python" examples/torvane/cpu_v4_image.py "$work/cpu_v4.eeprom"
echo "_TORVANE example exit code: $?"

echo "== _Kestor: parameter file of examples/device_model/relay_model.xml"
PYTHONPATH="$build/python" "$python" examples/generate_parameter_file.py \
  examples/device_model/relay_model.xml "$work/relay_parameters.xml"
echo "generate_parameter_file.py exit code: $?"
cat "$work/relay_parameters.xml"
