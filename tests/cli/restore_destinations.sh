#!/usr/bin/env bash
# Restores onto destinations that refuse: a read-only tmpfs, a full tmpfs,
# and FAT and exFAT volumes (made by mkfs.fat / mkfs.exfat, mounted through a
# loop device) that refuse "<不明>" as a folder name. The exit status must say
# that not everything was restored, every failed item must be named with the
# system's reason, no partial file may be left, and what is written must be
# byte for byte what a restore into a plain folder writes.
# Needs root, tmpfs and loop devices; exits 77 (skipped) without them.
set -uo pipefail
cli=${1:?vellum-cli}
images=${2:?folder of unpacked images}
source "$(dirname "$0")/mount_support.sh"

mkdir -p "$work/ro" "$work/full" "$work/plain"
mount -t tmpfs -o ro,size=1m tmpfs "$work/ro" || { echo "cannot mount tmpfs"; exit 77; }
mounts+=("$work/ro")
mount -t tmpfs -o size=40k tmpfs "$work/full" || exit 77
mounts+=("$work/full")

# The reference: every deleted file of fat16.img in a plain folder.
"$cli" restore "$images/fat16.img" --to "$work/plain/fat16" >"$work/plain.out" 2>&1
[[ $? == 0 ]] || fail "plain restore: $(cat "$work/plain.out")"

"$cli" restore "$images/fat16.img" --to "$work/ro" >"$work/ro.out" 2>&1
status=$?
[[ $status == 3 ]] || fail "read-only destination: exit $status, wanted 3"
grep -q "読み取り専用のファイルシステム" "$work/ro.out" || fail "read-only destination: the reason is not named"
grep -q "復元できなかった項目" "$work/ro.out" || fail "read-only destination: no list of failed items"
# Nothing was restored: the summary must not begin as if it had been.
[[ $(head -1 "$work/ro.out") == "復元できませんでした。" ]] || fail "read-only destination: headline $(head -1 "$work/ro.out")"

"$cli" restore "$images/fat16.img" --to "$work/full" >"$work/full.out" 2>&1
status=$?
[[ $status == 3 ]] || fail "full destination: exit $status, wanted 3"
grep -q "ディスクの空き領域が足りません" "$work/full.out" || fail "full destination: the reason is not named"
# What stayed is complete: the same bytes as the plain restore.
while IFS= read -r -d '' f; do
  rel=${f#"$work/full/"}
  cmp -s "$f" "$work/plain/fat16/$rel" || fail "full destination left $rel incomplete"
done < <(find "$work/full" -type f -print0)

# NTFS writes block by block: a full destination is named once per file in
# the summary, never once per block.
"$cli" restore "$images/ntfs-512.img" --folder 87 --to "$work/full/ntfs" >"$work/nfull.out" 2>&1
status=$?
[[ $status == 3 ]] || fail "full destination, NTFS: exit $status, wanted 3: $(tail -3 "$work/nfull.out")"
[[ $(grep -c "ファイルの書き込みに失敗しました。" "$work/nfull.out") == 0 ]] || fail "full destination, NTFS: a message per block"
grep -q "ディスクの空き領域が足りません" "$work/nfull.out" || fail "full destination, NTFS: the reason is not named"

# The recognised contents of media-fat32.img, listed under "<不明>".
"$cli" search "$images/media-fat32.img" --free-scan -o "$work/media.tsv" 2>/dev/null || fail "media search"
# The content rows alone (their time is "<不明>"): chosen together with the
# files listed by name whose data they are, they would be written once, by name.
content_rows=$(awk -F'\t' 'NR > 2 && $5 == "<不明>" { printf "%s%d", (n++ ? "," : ""), NR - 2 }' "$work/media.tsv")
[[ -n $content_rows ]] || fail "media search lists no recognised contents"
"$cli" restore "$images/media-fat32.img" --results "$work/media.tsv" --rows "$content_rows" --to "$work/plain/media" \
  >"$work/pm.out" 2>&1
plain_status=$?
[[ -d "$work/plain/media/<不明>" ]] || fail "plain restore has no <不明> folder"

check_volume() {  # NAME MOUNTPOINT
  local name=$1 m=$2
  "$cli" restore "$images/media-fat32.img" --results "$work/media.tsv" --rows "$content_rows" --to "$m/out" \
    >"$work/$name.out" 2>&1
  local status=$?
  [[ $status == "$plain_status" ]] || fail "$name: exit $status, the plain restore $plain_status: $(tail -5 "$work/$name.out")"
  [[ -d "$m/out/＜不明＞" ]] || fail "$name: no ＜不明＞ folder"
  grep -q "全角" "$work/$name.out" || fail "$name: the renamed names are not counted"
  local n=0
  for f in "$work/plain/media/<不明>"/*; do
    cmp -s "$f" "$m/out/＜不明＞/$(basename "$f")" || fail "$name: $(basename "$f") differs"
    n=$((n + 1))
  done
  [[ $n -gt 20 ]] || fail "$name: only $n files compared"
}

truncate -s 64M "$work/v.img" && mkfs.fat -F 32 "$work/v.img" >/dev/null
vloop=$(losetup -f --show "$work/v.img") || exit 77
loops+=("$vloop")
mkdir -p "$work/v"
# Only the kernel's vfat will do: fusefat refuses every name outside ASCII.
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

# NTFS as Windows formats it refuses the same characters (ntfs-3g's windows_names).
truncate -s 128M "$work/n.img" && mkntfs -q -F -f "$work/n.img" >/dev/null 2>&1
nloop=$(losetup -f --show "$work/n.img") || exit 77
loops+=("$nloop")
mkdir -p "$work/n"
if command -v ntfs-3g >/dev/null && ntfs-3g -o windows_names "$nloop" "$work/n" >/dev/null 2>&1; then
  mounts+=("$work/n")
  check_volume ntfs "$work/n"
else
  echo "note: no ntfs-3g here; the NTFS case was not tried"
fi

[[ $failures -eq 0 ]] || exit 1
echo "restore destinations: failures reported, nothing partial left, renamed folders byte-exact"
