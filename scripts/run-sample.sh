#!/usr/bin/env bash
# Builds vellum-cli and searches the bundled sample image for deleted files,
# printing the result list as a search-results file.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target vellum-cli
mkdir -p build/sample
xz -dc tests/data/sample.img.xz > build/sample/sample.img
build/default/src/vellum-cli search build/sample/sample.img
