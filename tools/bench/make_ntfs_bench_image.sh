#!/usr/bin/env bash
# Makes an NTFS image with about 100,000 file records, a third of them
# deleted, for timing the deleted-file search. Only mkntfs and ntfs-3g write
# the image (through a loop device; needs root).
#   make_ntfs_bench_image.sh OUT.img [FOLDERS] [FILES_PER_FOLDER]
set -euo pipefail
out=${1:?output image}
folders=${2:-100}
per=${3:-1000}
mnt=$(mktemp -d)
loop=
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  [[ -n $loop ]] && losetup -d "$loop"
  rmdir "$mnt"
}
trap cleanup EXIT

rm -f "$out"
truncate -s 1G "$out"
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
