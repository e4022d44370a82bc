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

echo "== _Kestor: parameter file of examples/device_model/relay_model.xml"
python27=$(sed -n 's/^RELAY_PYTHON27_PREFIX:PATH=//p' "$build/CMakeCache.txt")/bin/python2.7
PYTHONPATH="$build/python" "$python27" examples/generate_parameter_file.py \
  examples/device_model/relay_model.xml "$work/relay_parameters.xml"
echo "generate_parameter_file.py exit code: $?"
cat "$work/relay_parameters.xml"
