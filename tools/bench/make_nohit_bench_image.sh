#!/usr/bin/env bash
# Makes a volume for timing the free-cluster scan where no file starts: a
# modest tree of text notes (24 folders of 40, every third note deleted and
# every tenth folder deleted whole) on a volume whose free space begins no
# file type the scan recognises, so the scan finds no content row and its
# time is the reading. The notes are plain text, which has no signature
# (PhotoRec, which guesses text, carves the deleted ones).
#   make_nohit_bench_image.sh fat32|exfat|ntfs OUT.img [zeros|old] [GIB]
# zeros (the default): a freshly formatted card, whose free space is zeros.
# old: a card that was used before: first filled with files of pseudo-random
# bytes (the middle of old photos and videos; no cluster of them begins a
# signature, see nohit_bench_data.py), all deleted, then the tree written over
# them. 4 KiB clusters everywhere. fat32 is written by mkfs.fat and mtools
# only; exfat by mkfs.exfat and exfat-fuse, ntfs by mkntfs and ntfs-3g, both
# on a loop device (root). BENCH_WRITTEN=full writes the image out in full
# first (blank_image.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
format=${1:?usage: make_nohit_bench_image.sh fat32|exfat|ntfs OUT.img [zeros|old] [GIB]}
out=${2:?output image}
free=${3:-zeros}
gib=${4:-4}
case $format in fat32 | exfat | ntfs) ;; *) echo "unknown format: $format" >&2; exit 2 ;; esac
case $free in zeros | old) ;; *) echo "unknown free space: $free" >&2; exit 2 ;; esac
data=(python3 "$here/nohit_bench_data.py")
folders=24
notes=40

source "$here/work_dir.sh"
source "$here/blank_image.sh"

# Copies one local file or folder to the volume's root, and deletes paths
# there, by the format's own tools.
copy_fat32() { mcopy -s -i "$out" "$1" ::/; }
delete_fat32() { printf '::/%s\0' "$@" | xargs -0 -n 200 mdel -i "$out"; }
deltree_fat32() { printf '::/%s\0' "$@" | xargs -0 -n 50 mdeltree -i "$out"; }
copy_mounted() { cp -r "$1" "$mnt/" && sync; }
delete_mounted() { (cd "$mnt" && printf '%s\0' "$@" | xargs -0 rm --) && sync; }
deltree_mounted() { (cd "$mnt" && printf '%s\0' "$@" | xargs -0 rm -r --) && sync; }
if [[ $format == fat32 ]]; then
  copy=copy_fat32 delete=delete_fat32 deltree=deltree_fat32
else
  copy=copy_mounted delete=delete_mounted deltree=deltree_mounted
fi

blank_image "$out" "${gib}G"
if [[ $format == fat32 ]]; then
  mkfs.fat -F 32 -s 8 -i 20261210 -n NOHITBENCH "$out" >/dev/null
else
  mkdir "$mnt"
  loop=$(losetup -f --show "$out")
  if [[ $format == exfat ]]; then
    mkfs.exfat -c 4096 -L NOHITBENCH "$loop" >/dev/null
    tune.exfat -I 0x20261210 "$loop" >/dev/null
    mount.exfat-fuse "$loop" "$mnt"
  else
    mkntfs -q -F -Q -c 4096 -L NOHITBENCH "$loop"
    ntfs-3g "$loop" "$mnt"
  fi
fi

if [[ $free == old ]]; then
  # 64 MiB files one at a time (the local disk holds one), until all but
  # 64 MiB of the volume has been written; then all of them deleted.
  old=()
  for ((i = 0; i < (gib * 1024 - 64) / 64; i++)); do
    "${data[@]}" old "$work/old-$i.bin" 64 "nohit-$i"
    "$copy" "$work/old-$i.bin"
    rm "$work/old-$i.bin"
    old+=("old-$i.bin")
  done
  "$delete" "${old[@]}"
fi

"${data[@]}" tree "$work/tree" "$folders" "$notes"
for ((d = 0; d < folders; d++)); do "$copy" "$work/tree/folder-$d"; done
gone=() gonefolders=()
for ((d = 0; d < folders; d++)); do
  if ((d % 10 == 9)); then gonefolders+=("folder-$d"); continue; fi
  for ((f = 0; f < notes; f += 3)); do gone+=("folder-$d/note $f.txt"); done
done
"$delete" "${gone[@]}"
"$deltree" "${gonefolders[@]}"

if [[ $format != fat32 ]]; then
  umount "$mnt"
  losetup -d "$loop"
  loop=
fi
echo "$out: $format, free space $free; $((folders * notes)) notes in $folders folders," \
  "${#gone[@]} deleted and ${#gonefolders[@]} folders deleted whole"
