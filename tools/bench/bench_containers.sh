#!/usr/bin/env bash
# Times the search and the free-cluster scan on an E01 of a 4 GiB FAT32 image
# against the same image raw, and against ewfexport writing the whole E01 to
# /dev/null (what any reader of the evidence file must at least do), in one
# run with the files in the page cache.
#   tools/bench/bench_containers.sh [IMAGE]
# Without IMAGE, one is made with make_fat32_bench_image.sh (4 GiB). Needs
# hyperfine and ewf-tools (scripts/setup.sh --bench, --fixtures).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
out=$repo/build/bench
image=${1:-$out/fat32-4g.img}
e01=${image%.img}.E01
cli=$repo/build/default/src/vellum-cli

mkdir -p "$out"
[[ -f $image ]] || "$here/make_fat32_bench_image.sh" "$image" 60 500 4G
[[ -f $e01 ]] || ewfacquire -u -q -c deflate:fast -t "${e01%.E01}" "$image" >/dev/null
cmake --build "$repo/build/default" --target vellum-cli >/dev/null
cat "$image" "$e01" > /dev/null

hyperfine --warmup 1 --runs 5 --export-markdown "$out/containers-search.md" \
  -n "search raw" "'$cli' search '$image' -o /dev/null 2>/dev/null" \
  -n "search E01" "'$cli' search '$e01' -o /dev/null 2>/dev/null"
hyperfine --warmup 1 --runs 3 --export-markdown "$out/containers-free-scan.md" \
  -n "free-scan raw" "'$cli' search '$image' --free-scan -o /dev/null 2>/dev/null" \
  -n "free-scan E01" "'$cli' search '$e01' --free-scan -o /dev/null 2>/dev/null" \
  -n "ewfexport to /dev/null" "ewfexport -q -u -t - -f raw '$e01' > /dev/null 2>&1"
