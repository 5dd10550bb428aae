#!/usr/bin/env bash
# Times the deleted-entry search of a large FAT32 image against The Sleuth
# Kit's fls on the same image and against reading the whole image raw.
#   tools/bench/bench_fat_search.sh [IMAGE]
# Without IMAGE, one is made first with make_fat32_bench_image.sh (needs
# mkfs.fat and mtools; takes a few minutes). Needs hyperfine and sleuthkit.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
image=${1:-$repo/build/bench/fat32-bench.img}
cli=$repo/build/default/src/vellum-cli

if [[ ! -f $image ]]; then
  mkdir -p "$(dirname "$image")"
  "$here/make_fat32_bench_image.sh" "$image"
fi
cmake --build "$repo/build/default" --target vellum-cli >/dev/null

echo "rows listed by vellum-cli search: $(($("$cli" search "$image" 2>/dev/null | wc -l) - 2))"
echo "entries listed by fls -rd -p:     $(fls -rd -p "$image" | wc -l)"
hyperfine --warmup 2 --runs 10 --export-markdown "$repo/build/bench/fat-search.md" \
  -n "cat (raw read)" "cat '$image' > /dev/null" \
  -n "vellum-cli search" "'$cli' search '$image' > /dev/null 2>&1" \
  -n "fls -rd -p" "fls -rd -p '$image' > /dev/null"
