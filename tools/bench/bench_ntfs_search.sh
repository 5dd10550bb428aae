#!/usr/bin/env bash
# Times the deleted-file search of a large NTFS image against The Sleuth
# Kit's fls and ntfs-3g's ntfsundelete on the same image, and against reading
# the whole image raw.
#   tools/bench/bench_ntfs_search.sh [IMAGE]
# Without IMAGE, one is made first with make_ntfs_bench_image.sh (root, loop
# device, FUSE; takes several minutes). Needs hyperfine, sleuthkit, ntfs-3g.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
image=${1:-$repo/build/bench/ntfs-bench.img}
cli=$repo/build/default/src/vellum-cli

if [[ ! -f $image ]]; then
  mkdir -p "$(dirname "$image")"
  "$here/make_ntfs_bench_image.sh" "$image"
fi
cmake --build "$repo/build/default" --target vellum-cli >/dev/null

echo "rows listed by vellum-cli search: $(($("$cli" search "$image" --zero-size 2>/dev/null | wc -l) - 2))"
echo "entries listed by fls -rd -p:     $(fls -rd -p "$image" | grep -vc OrphanFile)"
echo "records listed by ntfsundelete:   $(ntfsundelete -s -f "$image" 2>/dev/null | grep -cE '^[0-9]+ ')"
hyperfine --warmup 1 --runs 5 --export-markdown "$repo/build/bench/ntfs-search.md" \
  -n "cat (raw read)" "cat '$image' > /dev/null" \
  -n "vellum-cli search" "'$cli' search '$image' --zero-size > /dev/null 2>&1" \
  -n "fls -rd -p" "fls -rd -p '$image' > /dev/null" \
  -n "ntfsundelete -s" "ntfsundelete -s -f '$image' > /dev/null 2>&1"
