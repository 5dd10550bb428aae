#!/usr/bin/env bash
# Times the free-cluster scan with content analysis on an image full of
# deleted media files, beside a plain sequential read of the same image and
# PhotoRec (Debian's testdisk) carving the same free space, in one run:
# first with the image in the page cache, then (as root) with the cache
# dropped before every run, which is what a disk that was never read costs.
#   tools/bench/bench_free_scan.sh [IMAGE]
# Without IMAGE, one is made first with make_media_bench_image.sh (4 GiB;
# needs ImageMagick, ffmpeg, zip, mtools). Needs hyperfine and testdisk
# (scripts/setup.sh --bench).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
image=${1:-$repo/build/bench/media-bench.img}
cli=$repo/build/default/src/vellum-cli
out=$repo/build/bench
carved=$out/photorec-out

if [[ ! -f $image ]]; then
  mkdir -p "$(dirname "$image")"
  "$here/make_media_bench_image.sh" "$image"
fi
cmake --build "$repo/build/default" --target vellum-cli >/dev/null
mkdir -p "$out"

scan="'$cli' search '$image' --free-scan -o '$out/free-scan.tsv'"
carve="photorec /log /d '$carved/r' /cmd '$image' partition_none,freespace,search > /dev/null"
clear_carved="rm -rf '$carved' && mkdir -p '$carved'"

eval "$scan" 2>/dev/null
echo "rows listed by the free-cluster scan: $(($(wc -l < "$out/free-scan.tsv") - 2))"
echo "  of which content rows by extension:"
awk -F'\t' 'NR > 2 && $1 ~ /^不明[0-9]+\./ { sub(/.*\./, "", $1); n[$1]++ } END { for (e in n) printf "    %s %d\n", e, n[e] }' \
  "$out/free-scan.tsv" | sort -k2 -nr
eval "$clear_carved" && (cd "$carved" && eval "$carve")
echo "files carved by PhotoRec: $(find "$carved" -type f -path '*/r.*' | wc -l)"

echo "== image in the page cache"
hyperfine --warmup 1 --runs 5 --export-markdown "$out/free-scan-warm.md" \
  -n "cat (raw read)" "cat '$image' > /dev/null" \
  -n "vellum-cli search --free-scan" "$scan 2>/dev/null"
hyperfine --runs 3 --prepare "$clear_carved" --export-markdown "$out/photorec-warm.md" \
  -n "photorec (free space)" "cd '$carved' && $carve"

if [[ -w /proc/sys/vm/drop_caches ]]; then
  echo "== page cache dropped before every run"
  drop="sync && echo 3 > /proc/sys/vm/drop_caches"
  hyperfine --runs 3 --prepare "$drop" --export-markdown "$out/free-scan-cold.md" \
    -n "cat (raw read)" "cat '$image' > /dev/null" \
    -n "vellum-cli search --free-scan" "$scan 2>/dev/null"
  hyperfine --runs 3 --prepare "$clear_carved && $drop" --export-markdown "$out/photorec-cold.md" \
    -n "photorec (free space)" "cd '$carved' && $carve"
fi
rm -rf "$carved"
