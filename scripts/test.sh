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
set +e
ctest --output-on-failure -j2 "$@" 2>&1 | tee ctest.out
status=${PIPESTATUS[0]}
set -e
# The figures of the long-running tests (fuzz executions, power-cut points).
echo "== figures"
awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
     /^stat::number_of_executed_units:/ { print name ": " $2 " executions" }
     /^power loss: / { print name ": " $0 }' Testing/Temporary/LastTest.log 2>/dev/null || true
# CTest's own closing lines last, as the summary of the run, with every test
# that skipped itself (the mounts where FUSE cannot be used) named.
echo "== summary"
grep -E "tests passed|tests failed|Total Test time|\(Skipped\)" ctest.out || true
exit $status
