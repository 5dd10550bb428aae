#!/usr/bin/env bash
# Unpacks the compressed test images into DEST as sparse files, so the large
# mostly-empty images cost little disk space. Skips images already unpacked
# and newer than their archive.
set -euo pipefail
src=${1:?source folder}
dest=${2:?destination folder}
mkdir -p "$dest"
for xz in "$src"/*.img.xz; do
  out="$dest/$(basename "$xz" .xz)"
  [[ -f "$out" && "$out" -nt "$xz" ]] && continue
  xz -dc "$xz" | dd of="$out.part" bs=64k conv=sparse status=none
  mv "$out.part" "$out"
done
# The image containers keep their own names (segment and piece numbers
# matter to the readers), in a folder of their own.
mkdir -p "$dest/containers"
for xz in "$src"/containers/*.xz; do
  [[ -e "$xz" ]] || continue
  out="$dest/containers/$(basename "$xz" .xz)"
  [[ -f "$out" && "$out" -nt "$xz" ]] && continue
  xz -dc "$xz" | dd of="$out.part" bs=64k conv=sparse status=none
  mv "$out.part" "$out"
done
