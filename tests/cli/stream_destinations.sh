#!/usr/bin/env bash
# Alternate data streams restored onto destinations that take no ':' in a
# name (FAT and exFAT, made by mkfs.fat / mkfs.exfat and mounted through a
# loop device): each stream is written as FILE_STREAM beside its file, the
# summary counts them, and the bytes are those of a plain folder's FILE:STREAM.
# Needs root and loop devices; exits 77 (skipped) without them.
set -uo pipefail
cli=${1:?vellum-cli}
images=${2:?folder of unpacked images}
source "$(dirname "$0")/mount_support.sh"
image="$images/ntfs-streams.img"

"$cli" restore "$image" --folder 65 --to "$work/plain" >"$work/plain.out" 2>&1 || fail "plain restore: $(cat "$work/plain.out")"
[[ -f "$work/plain/Docs/notes.txt:author" ]] || fail "plain restore has no notes.txt:author"

# check_volume NAME MOUNTPOINT
check_volume() {
  local name=$1 m=$2
  "$cli" restore "$image" --folder 65 --to "$m/out" >"$work/$name.out" 2>&1
  local status=$?
  [[ $status == 0 ]] || fail "$name: exit $status: $(tail -3 "$work/$name.out")"
  for s in notes.txt:author plan.txt:review; do
    cmp -s "$work/plain/Docs/$s" "$m/out/Docs/${s/:/_}" || fail "$name: ${s/:/_} is not the stream's bytes"
  done
  grep -q "代替データ ストリームを「ファイル名_ストリーム名」で書き出したもの: 2 件" "$work/$name.out" ||
    fail "$name: the summary does not count the streams: $(cat "$work/$name.out")"
}

truncate -s 64M "$work/v.img" && mkfs.fat -F 32 "$work/v.img" >/dev/null
vloop=$(losetup -f --show "$work/v.img") || exit 77
loops+=("$vloop")
mkdir -p "$work/v"
if mount -t vfat "$vloop" "$work/v" 2>/dev/null; then
  mounts+=("$work/v")
  check_volume vfat "$work/v"
else
  echo "note: this kernel has no vfat; the vfat case was not tried"
fi

truncate -s 128M "$work/e.img" && mkfs.exfat "$work/e.img" >/dev/null
eloop=$(losetup -f --show "$work/e.img") || exit 77
loops+=("$eloop")
mkdir -p "$work/e"
if mount -t exfat "$eloop" "$work/e" 2>/dev/null || mount.exfat-fuse "$eloop" "$work/e" >/dev/null 2>&1; then
  mounts+=("$work/e")
  check_volume exfat "$work/e"
else
  echo "note: no way to mount exFAT here; the exFAT case was not tried"
fi

[[ $failures == 0 ]] || exit 1
echo "ok"
