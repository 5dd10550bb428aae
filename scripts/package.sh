#!/usr/bin/env bash
# Makes what a user installs, into build/package/:
#   scripts/package.sh deb      vellum_<version>_<arch>.deb from the release build
#                               (build/default), checked by lintian
#   scripts/package.sh windows  vellum-<version>-windows-x64.zip from the
#                               MinGW-w64 cross build (build/windows)
# Each installs what it needs first (scripts/setup.sh). Standard output gets
# one line, the path of what was made; everything else goes to standard error.
set -euo pipefail
cd "$(dirname "$0")/.."
exec 3>&1 1>&2

out=build/package
# Files and folders the package makes are world-readable whatever the caller's umask.
umask 022
jobs=${VELLUM_JOBS:-$(nproc)}
# Dated by the last commit, so two packages of one commit say the same.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH

# The one version, as CMake was given it in project().
project_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

deb() {
  scripts/setup.sh
  cmake --preset default >/dev/null
  # Only what the install rules ship; the tests are not needed here.
  cmake --build --preset default -j "$jobs" --target vellum vellum-cli vellum_bios16 vellum_bios32
  mkdir -p "$out"
  rm -f "$out"/vellum_*.deb
  (cd "$out" && cpack --config ../default/CPackConfig.cmake -B "$PWD" >/dev/null)
  rm -rf "$out/_CPack_Packages"
  local package
  package=$(ls "$out"/vellum_*.deb)
  # Errors fail the package; warnings and notes are printed for whoever reads the log.
  echo "== lintian $(basename "$package")"
  lintian --fail-on error --display-info "$package"
  echo "$package" >&3
}

windows() {
  scripts/setup.sh --windows
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$jobs" --target vellum vellum-cli vellum_bios16 vellum_bios32
  local build=build/windows version name stage
  version=$(project_version "$build")
  name=vellum-$version-windows-x64
  stage=$out/$name
  rm -rf "$stage" "$out/$name.zip"
  mkdir -p "$stage"
  # The programs, the disk BIOS layer's modules they look for beside them,
  # the guide with its pictures (the exit button opens manual.html there)
  # and the licence, with Windows line ends for Notepad.
  cp "$build"/src/vellum.exe "$build"/src/vellum-cli.exe "$build"/src/Qiv16.dll "$build"/src/Qiv32.dll "$stage"/
  cp docs/manual.html "$stage"/
  cp -r docs/screenshots "$stage"/
  sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
  find "$stage" -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$out" && find "$name" | LC_ALL=C sort | zip -q -X -9 "$name.zip" -@)
  rm -rf "$stage"
  tests/packaging/check_windows_zip.sh "$out/$name.zip" "$version"
  echo "$out/$name.zip" >&3
}

case "${1:-}" in
  deb) deb ;;
  windows) windows ;;
  *) echo "usage: scripts/package.sh deb|windows" >&2; exit 2 ;;
esac
