#!/usr/bin/env bash
# A 512 MiB FAT32 card for the cancelled-scan test, made by mkfs.fat and mtools:
# three deleted files in the root folder, whose cluster is copied into the
# last cluster too, so a full scan finds rows at its start and at its end.
#   scan_card.sh IMAGE VELLUM_CLI [SIZE]
# SIZE (512M unless given) makes a card whose scan takes longer.
set -e
img=$1; cli=$2; size=${3:-512M}
truncate -s "$size" "$img"
mkfs.fat -F 32 -s 8 -n CARD "$img" >/dev/null
for n in first second third; do echo "the $n photo" > "$img.$n.txt"; MTOOLS_SKIP_CHECK=1 mcopy -i "$img" "$img.$n.txt" ::$n.txt; rm "$img.$n.txt"; done
MTOOLS_SKIP_CHECK=1 mdel -i "$img" ::first.txt ::second.txt ::third.txt
info=$("$cli" info "$img")
first=$(awk -F'\t' '$1=="firstDataSector"{print $2}' <<<"$info")
last=$(awk -F'\t' '$1=="lastCluster"{print $2}' <<<"$info")
dd if="$img" of="$img" bs=4096 skip=$((first / 8)) seek=$((first / 8 + last - 2)) count=1 conv=notrunc status=none
