#!/usr/bin/env bash
# Complete deletion never writes to a volume that something has mounted,
# whichever way it is mounted: the kernel over a loop device (where this
# kernel has the driver), fusefat on the image itself or on a loop device,
# exfat-fuse on either. The refusal names the mount and how to unmount it,
# and the image's bytes stay as they were. A mounted partition of a disk
# image counts only for that partition. Needs root and loop devices; exits
# 77 (skipped) without them.
set -uo pipefail
cli=${1:?vellum-cli}
images=${2:?folder of unpacked images}
source "$(dirname "$0")/mount_support.sh"

cp "$images/fat16.img" "$work/x.img"
cp "$images/exfat.img" "$work/e.img"
mkdir -p "$work/m"

# refused WHAT IMAGE MOUNT-COMMAND... : mounts, runs wipe IMAGE --yes, unmounts.
refused() {
  local what=$1 image=$2
  shift 2
  "$@" >/dev/null 2>&1 || { echo "note: $what: could not mount here, not tried"; return; }
  mounts+=("$work/m")
  local before
  before=$(sha256sum <"$image")
  "$cli" wipe "$image" --yes >"$work/out" 2>"$work/err"
  local status=$?
  [[ $status == 1 ]] || fail "$what: wipe exited $status, wanted 1 ($(head -c 300 "$work/err"))"
  grep -q "マウントされている" "$work/err" || fail "$what: not refused as mounted"
  grep -q "$work/m" "$work/err" || fail "$what: the message does not name the mount"
  grep -qE "umount|fusermount -u" "$work/err" || fail "$what: the message does not say how to unmount"
  [[ $(sha256sum <"$image") == "$before" ]] || fail "$what: $image changed"
  umount "$work/m" 2>/dev/null || fusermount -u "$work/m"
  mounts=()
  echo "ok: $what"
}

refused "fusefat on the image" "$work/x.img" fusefat -o ro "$work/x.img" "$work/m"
loop=$(losetup -f --show "$work/x.img") || { echo "no loop device"; exit 77; }
loops+=("$loop")
refused "fusefat on a loop device" "$work/x.img" fusefat -o ro "$loop" "$work/m"
refused "the kernel's vfat on a loop device" "$work/x.img" mount -r -t vfat "$loop" "$work/m"
refused "fusefat on a loop device, wiping the loop device" "$loop" fusefat -o ro "$loop" "$work/m"
refused "exfat-fuse on the image" "$work/e.img" mount.exfat-fuse -o ro "$work/e.img" "$work/m"
eloop=$(losetup -f --show "$work/e.img")
loops+=("$eloop")
refused "exfat-fuse on a loop device" "$work/e.img" mount.exfat-fuse -o ro "$eloop" "$work/m"
refused "the kernel's exfat on a loop device" "$work/e.img" mount -r -t exfat "$eloop" "$work/m"

# A disk image whose first partition (FAT16, sectors 2048 to 14335) is
# mounted through a loop device over just that partition: that partition is
# refused, the second (FAT32) is not the mounted one and is wiped.
cp "$images/disk-mbr.img" "$work/d.img"
ploop=$(losetup -f --show -o $((2048 * 512)) --sizelimit $((12288 * 512)) "$work/d.img")
loops+=("$ploop")
if fusefat -o ro "$ploop" "$work/m" >/dev/null 2>&1; then
  mounts+=("$work/m")
  before=$(sha256sum <"$work/d.img")
  "$cli" wipe "$work/d.img" --partition 1 --yes >"$work/out" 2>"$work/err"
  status=$?
  [[ $status == 1 ]] && grep -q "マウントされている" "$work/err" || fail "partition 1 mounted: wipe of partition 1 not refused"
  [[ $(sha256sum <"$work/d.img") == "$before" ]] || fail "partition 1 mounted: d.img changed"
  "$cli" wipe "$work/d.img" --partition 2 --yes >"$work/out" 2>"$work/err"
  status=$?
  [[ $status == 0 ]] || fail "partition 1 mounted: wipe of partition 2 exited $status ($(head -c 300 "$work/err"))"
  umount "$work/m" 2>/dev/null || fusermount -u "$work/m"
  mounts=()
  echo "ok: a mounted partition counts for itself only"
else
  echo "note: fusefat could not mount the partition here; the partition case was not tried"
fi

[[ $failures -eq 0 ]] || exit 1
echo "complete deletion: refused on every mount, images unchanged"
