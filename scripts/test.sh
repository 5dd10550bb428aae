#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice:
# once optimised, once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
for preset in default asan; do
  echo "== $preset" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j "$(nproc)"
done
