#!/usr/bin/env bash
# Makes a FAT32 image with tens of thousands of files, a third of them
# deleted, for timing the deleted-entry search. Only mkfs.fat and mtools
# write the image.
#   make_fat32_bench_image.sh OUT.img [FOLDERS] [FILES_PER_FOLDER] [SIZE]
# SIZE is the image size (512M by default); BENCH_WRITTEN=full writes it out
# in full first (blank_image.sh).
set -euo pipefail
source "$(dirname "$0")/blank_image.sh"
out=${1:?output image}
folders=${2:-60}
per=${3:-500}
size=${4:-512M}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8
blank_image "$out" "$size"
mkfs.fat -F 32 -s 8 -i 20261208 -n VELLUMBENCH "$out" >/dev/null

# The tree is built on the local disk first so mtools copies it in one run.
for ((d = 0; d < folders; d++)); do
  dir="$work/tree/folder-$d"
  mkdir -p "$dir"
  for ((f = 0; f < per; f++)); do
    printf 'bench file %d/%d\n' "$d" "$f" > "$dir/long file name number $f.txt"
  done
done
mcopy -s -i "$out" "$work/tree/"* ::/
# Delete every third file of each folder, and every tenth folder whole.
for ((d = 0; d < folders; d++)); do
  if ((d % 10 == 9)); then
    mdeltree -i "$out" "::/folder-$d"
    continue
  fi
  names=()
  for ((f = 0; f < per; f += 3)); do names+=("::/folder-$d/long file name number $f.txt"); done
  mdel -i "$out" "${names[@]}"
done
echo "$out: $((folders * per)) files in $folders folders"
