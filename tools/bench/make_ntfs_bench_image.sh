#!/usr/bin/env bash
# Makes an NTFS image with about 100,000 file records, a third of them
# deleted, for timing the deleted-file search. Only mkntfs and ntfs-3g write
# the image (through a loop device; needs root).
#   make_ntfs_bench_image.sh OUT.img [FOLDERS] [FILES_PER_FOLDER] [SIZE]
# SIZE is the image size (1G by default); BENCH_WRITTEN=full writes it out in
# full first (blank_image.sh).
set -euo pipefail
source "$(dirname "$0")/blank_image.sh"
out=${1:?output image}
folders=${2:-100}
per=${3:-1000}
size=${4:-1G}
mnt=$(mktemp -d)
loop=
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  [[ -n $loop ]] && losetup -d "$loop"
  rmdir "$mnt"
}
trap cleanup EXIT

blank_image "$out" "$size"
loop=$(losetup -f --show "$out")
mkntfs -q -F -Q -c 4096 -L VELLUMBENCH "$loop"
ntfs-3g "$loop" "$mnt"
for ((d = 0; d < folders; d++)); do
  mkdir "$mnt/folder-$d"
  for ((f = 0; f < per; f++)); do echo "bench $d/$f" > "$mnt/folder-$d/file number $f.txt"; done
done
sync
for ((d = 0; d < folders; d++)); do
  if ((d % 10 == 9)); then rm -r "$mnt/folder-$d"; continue; fi
  for ((f = 0; f < per; f += 3)); do rm "$mnt/folder-$d/file number $f.txt"; done
done
sync
echo "$out: $((folders * per)) files in $folders folders"
