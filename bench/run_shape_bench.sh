#!/usr/bin/env bash
# Builds _Kestor (Release, no sanitizers) and runs the model-shape benchmark
# (deep and wide models, each loaded in a child process).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DRELAY_TESTS=OFF >/dev/null
cmake --build build/bench -j2 --target Kestor
python=$(sed -n 's/^RELAY_PYTHON_EXECUTABLE:INTERNAL=//p' build/bench/CMakeCache.txt)
PYTHONPATH=build/bench/python "$python" bench/model_shape_bench.py "$@"
