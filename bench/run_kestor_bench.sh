#!/usr/bin/env bash
# Builds _Kestor (Release, no sanitizers) and runs the parameter-file
# benchmark. Arguments: parameter counts (default 5000 20000 80000); with
# "shape" first, the model-shape benchmark (deep and wide models) instead.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DRELAY_TESTS=OFF >/dev/null
cmake --build build/bench -j2 --target Kestor
python=$(sed -n 's/^RELAY_PYTHON_EXECUTABLE:INTERNAL=//p' build/bench/CMakeCache.txt)
bench=bench/kestor_bench.py
if [ "${1:-}" = shape ]; then
  bench=bench/model_shape_bench.py
  shift
fi
PYTHONPATH=build/bench/python "$python" "$bench" "$@"
