#!/usr/bin/env bash
# Times the free-cluster scan on a volume whose free space begins no file, so
# the scan is all reading, beside a plain 1 MiB read of the same image and
# PhotoRec (Debian's testdisk) carving the same free space, in one hyperfine
# run with the image in the page cache.
#   tools/bench/bench_nohit_scan.sh [IMAGE...]
# Without IMAGE, two 4 GiB FAT32 images are made first with
# make_nohit_bench_image.sh (mkfs.fat + mtools): one freshly formatted (free
# space of zeros) and one written full of old data before (see there). Needs
# hyperfine and testdisk (scripts/setup.sh --bench).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cli=$repo/build/default/src/vellum-cli
out=$repo/build/bench
carved=$out/photorec-out
runs=${BENCH_RUNS:-10}

images=("$@")
if [[ ${#images[@]} -eq 0 ]]; then
  for free in zeros old; do
    image=$out/nohit-$free.img
    if [[ ! -f $image ]]; then
      mkdir -p "$out"
      "$here/make_nohit_bench_image.sh" fat32 "$image" "$free"
    fi
    images+=("$image")
  done
fi
cmake --build "$repo/build/default" --target vellum-cli >/dev/null
mkdir -p "$out"

for image in "${images[@]}"; do
  image=$(realpath "$image")
  name=$(basename "$image" .img)
  echo "== $image"
  "$cli" info "$image" | grep -E '^(fsKind|clusterBytes|lastCluster)' | tr '\n' ' '
  echo
  scan="'$cli' search '$image' --free-scan --format results -o /dev/null 2>/dev/null"
  carve="cd '$carved' && photorec /log /d '$carved/r' /cmd '$image' partition_none,freespace,search > /dev/null"
  clear_carved="rm -rf '$carved' && mkdir -p '$carved'"

  "$cli" search "$image" --free-scan -o "$out/$name.tsv" 2>/dev/null
  echo "rows listed by the search and free-cluster scan: $(($(wc -l < "$out/$name.tsv") - 2))," \
    "of which content rows: $(awk -F'\t' 'NR > 2 && $1 ~ /^不明[0-9]+\./' "$out/$name.tsv" | wc -l)," \
    "in <不明> (entries read from free clusters): $(awk -F'\t' 'NR > 2 && $2 ~ /<不明>$/' "$out/$name.tsv" | wc -l)"
  eval "$clear_carved" && (eval "$carve")
  echo "files carved by PhotoRec: $(find "$carved" -type f -path '*/r.*' ! -name report.xml | wc -l)"

  # One run, so that the three share the machine's state; each command's
  # own preparation (PhotoRec's output folder emptied) is not timed.
  hyperfine --warmup 2 --runs "$runs" --export-markdown "$out/$name-warm.md" \
    --prepare true --prepare true --prepare "$clear_carved" \
    -n "dd bs=1M (raw read)" "dd if='$image' of=/dev/null bs=1M status=none" \
    -n "vellum-cli search --free-scan" "$scan" \
    -n "photorec (free space)" "$carve"
done
rm -rf "$carved"
