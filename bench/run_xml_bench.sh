#!/usr/bin/env bash
# Builds (Release, no sanitizers) and runs the XML parse benchmark against
# expat. Installs Debian's libexpat1-dev first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh libexpat1-dev
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DRELAY_BENCH=ON -DRELAY_TESTS=OFF >/dev/null
cmake --build build/bench -j2 --target xml_bench
build/bench/bench/xml_bench
