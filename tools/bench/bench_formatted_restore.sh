#!/usr/bin/env bash
# What a restore of everything a free-cluster scan lists writes after a
# quick format, against the bytes of the photos on the card: a 4 GiB FAT32
# card (32 KiB clusters) with PHOTOS photos of 2-6 MB in DCIM/100CAMERA,
# formatted again with mkfs.fat, scanned with --free-scan and restored from
# the whole list. Each photo should be written once, so the ratio is 1.00
# (at most 1.2 is the bar). Needs dosfstools and mtools.
#   tools/bench/bench_formatted_restore.sh [PHOTOS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
photos=${1:-300}
cli=${VELLUM_CLI:-$repo/build/default/src/vellum-cli}
# shellcheck source=work_dir.sh
. "$here/work_dir.sh"

img=$work/card.img
truncate -s 4G "$img"
mkfs.fat -F 32 -s 64 -n CAMERA "$img" >/dev/null
mmd -i "$img" ::/DCIM ::/DCIM/100CAMERA
total=0
for i in $(seq 1 "$photos"); do
  name=$(printf 'DSC_%04d.JPG' "$i")
  size=$(( 2000000 + (i * 7919 % 4000000) ))
  "$repo/tools/fixtures/camera_photo.py" "$name" "$size" > "$work/$name"
  mcopy -i "$img" "$work/$name" "::/DCIM/100CAMERA/$name"
  rm "$work/$name"
  total=$(( total + size ))
done
mkfs.fat -F 32 -s 64 -n CAMERA "$img" >/dev/null

start=$(date +%s.%N)
"$cli" search "$img" --free-scan -o "$work/list.tsv" 2>/dev/null
scanned=$(date +%s.%N)
"$cli" restore "$img" --results "$work/list.tsv" --to "$work/out" >/dev/null 2>&1 || true
done_at=$(date +%s.%N)
written=$(find "$work/out" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%d", s }')
files=$(find "$work/out" -type f | wc -l)
rows=$(( $(wc -l < "$work/list.tsv") - 2 ))
if [[ -n ${KEEP:-} ]]; then mkdir -p "$KEEP"; cp "$work/list.tsv" "$KEEP/"; find "$work/out" -type f -printf '%s %p\n' | sort -n | tail -5 > "$KEEP/largest"; fi
printf 'photos %d (%d bytes); list %d rows; restored %d files, %d bytes; ratio %.3f\n' \
  "$photos" "$total" "$rows" "$files" "$written" "$(echo "$written / $total" | bc -l)"
printf 'scan %.1f s, restore %.1f s\n' "$(echo "$scanned - $start" | bc -l)" "$(echo "$done_at - $scanned" | bc -l)"
