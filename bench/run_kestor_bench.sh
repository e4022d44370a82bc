#!/usr/bin/env bash
# Builds _Kestor (Release, no sanitizers) and runs the parameter-file
# benchmark. Arguments: parameter counts (default 20000).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DRELAY_TESTS=OFF >/dev/null
cmake --build build/bench -j2 --target Kestor
python=$(sed -n 's/^RELAY_PYTHON_EXECUTABLE:INTERNAL=//p' build/bench/CMakeCache.txt)
PYTHONPATH=build/bench/python "$python" bench/kestor_bench.py "$@"
