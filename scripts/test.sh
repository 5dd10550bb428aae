#!/usr/bin/env bash
# Installs what is missing, then builds and runs the test suite: every test
# once, in one build under AddressSanitizer and UndefinedBehaviorSanitizer;
# then vellum-cli as shipped (the plain optimised build) under the tests that
# run it as a user does (ctest label `program`). The plain desktop program is
# built by scripts/run-sample.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
jobs=$(nproc)
echo "== asan: every test" >&2
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j "$jobs"
echo "== default: the programs as shipped" >&2
cmake --preset default >/dev/null
cmake --build --preset default --target vellum-cli
ctest --preset default -j "$jobs" -L program
