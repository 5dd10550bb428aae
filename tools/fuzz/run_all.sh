#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz preset for SECONDS each (default
# 30) from its seed corpus, with the memory a hostile disk may cost capped at
# 512 MB: a target that grows past it fails as a crash does. New inputs go to
# a scratch corpus, so the stored seeds stay as they are.
#   cmake --preset fuzz && cmake --build --preset fuzz
#   tools/fuzz/run_all.sh [SECONDS]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-30}
bin=$root/build/fuzz/tests/fuzz
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=()
for seeds in "$root"/tests/fuzz/corpus/*/; do
  name=$(basename "$seeds")
  target=$bin/${name}_fuzzer
  [[ -x $target ]] || { echo "missing $target (cmake --build --preset fuzz)" >&2; failed+=("$name"); continue; }
  mkdir -p "$scratch/$name"
  if "$target" -rss_limit_mb=512 -max_total_time="$seconds" -timeout=25 -artifact_prefix="$scratch/$name-" \
       "$scratch/$name" "$seeds" >"$scratch/$name.log" 2>&1; then
    echo "ok      $name ($(grep -o 'cov: [0-9]*' "$scratch/$name.log" | tail -1))"
  else
    echo "FAILED  $name"; tail -20 "$scratch/$name.log"
    cp "$scratch/$name"-* "$root/build/fuzz/" 2>/dev/null
    failed+=("$name")
  fi
done
[[ ${#failed[@]} -eq 0 ]] || { echo "failed: ${failed[*]} (inputs kept in build/fuzz/)" >&2; exit 1; }
