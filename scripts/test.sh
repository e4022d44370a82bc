#!/usr/bin/env bash
# Installs what is missing, builds everything under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test. The release build (the one
# the run command uses) is built too, since the optimiser sees more warnings.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRELAY_SANITIZE=ON >/dev/null
cmake --build build/test
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DRELAY_TESTS=OFF >/dev/null
cmake --build build/release
cd build/test
ctest --output-on-failure -j2 "$@"
