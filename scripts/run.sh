#!/usr/bin/env bash
# Installs what is missing, builds the tools and runs them on the bundled examples;
# their results stay in build/release/examples (named in the last lines).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DRELAY_TESTS=OFF >/dev/null
cmake --build build/release
scripts/examples.sh build/release
