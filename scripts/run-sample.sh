#!/usr/bin/env bash
# Builds and installs vellum-cli and vellum, then searches the bundled sample
# image (a 1.44 MB FAT12 floppy with deleted files and folders) and prints
# the result list: a table on a terminal, the search-results file otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target vellum-cli vellum
cmake --install build/default >/dev/null
vellum-cli search tests/data/sample.img --no-free-scan
