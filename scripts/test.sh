#!/usr/bin/env bash
# Installs what is missing, then builds and runs the test suite: every test
# once, in one build under AddressSanitizer and UndefinedBehaviorSanitizer;
# then vellum-cli as shipped (the plain optimised build) under the tests that
# run it as a user does (ctest label `program`); then the Debian package made
# from that build, checked by lintian, installed into this machine, run from
# /usr/bin and removed again (as root; VELLUM_SKIP_PACKAGE=1 leaves it out);
# with VELLUM_PACKAGE_WINDOWS=1 also the Windows zip, checked.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
# The Windows set-up step is not run here (its cross compiler and Wine take
# long to install), but it must still read its list through to the end.
scripts/setup.sh --windows --check >/dev/null
jobs=$(nproc)
echo "== asan: every test" >&2
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j "$jobs"
echo "== default: the programs as shipped" >&2
cmake --preset default >/dev/null
cmake --build --preset default --target vellum-cli
ctest --preset default -j "$jobs" -L program
if [[ "${VELLUM_SKIP_PACKAGE:-0}" != 1 ]]; then
  echo "== the Debian package: lintian, install, run, remove" >&2
  deb=$(VELLUM_JOBS=$jobs scripts/package.sh deb)
  tests/packaging/check_deb.sh "$deb" tests/data/sample.img build/default/src/vellum-cli || [[ $? -eq 77 ]]
fi
# The Windows zip needs the cross build, longer than this run may take: only on request.
if [[ "${VELLUM_PACKAGE_WINDOWS:-0}" == 1 ]]; then
  echo "== the Windows zip: resources, --version under Wine" >&2
  VELLUM_JOBS=$jobs scripts/package.sh windows
fi
