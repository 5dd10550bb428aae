#!/usr/bin/env bash
# Nothing but complete deletion ever writes onto the volume being searched,
# whichever name it is reached by: the image file itself, a hard or symbolic
# link to it, a loop device over it, or a mount of that loop device. Each
# attempt must be refused and the image's bytes must stay as they were.
# Needs root and loop devices; exits 77 (skipped) without them.
set -uo pipefail
cli=${1:?vellum-cli}
images=${2:?folder of unpacked images}
source "$(dirname "$0")/mount_support.sh"

cp "$images/fat16.img" "$work/x.img"
cp "$images/exfat.img" "$work/e.img"
hash_x=$(sha256sum <"$work/x.img")
hash_e=$(sha256sum <"$work/e.img")
unchanged() {
  [[ $(sha256sum <"$work/x.img") == "$hash_x" ]] || fail "$1: x.img changed"
  [[ $(sha256sum <"$work/e.img") == "$hash_e" ]] || fail "$1: e.img changed"
}

# expect_refused WHAT STATUS COMMAND...: the command must exit with STATUS.
expect_status() {
  local what=$1 want=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [[ $got == "$want" ]] || fail "$what: exit $got, wanted $want ($(head -c 300 "$work/err"))"
  unchanged "$what"
}

ln "$work/x.img" "$work/hard.img"
ln -s "$work/x.img" "$work/soft.img"
for target in x.img hard.img soft.img; do
  expect_status "search -o $target" 1 "$cli" search "$work/x.img" -o "$work/$target"
  grep -q "$work/$target" "$work/err" || fail "search -o $target: the message does not name the file"
done
expect_status "full-scan -o x.img" 1 "$cli" full-scan "$work/x.img" --yes -o "$work/x.img"

loop=$(losetup -f --show "$work/x.img") || { echo "no loop device"; exit 77; }
loops+=("$loop")
expect_status "search x.img -o $loop" 1 "$cli" search "$work/x.img" -o "$loop"
expect_status "search $loop -o x.img" 1 "$cli" search "$loop" -o "$work/x.img"
expect_status "restore $loop --to x.img" 1 "$cli" restore "$loop" --to "$work/x.img"

# A loop device whose backing file's name was removed (a hard link keeps the
# file): the kernel still reads kept.img's bytes through it, and the path text
# it shows names no file. Known by the backing file's identity, it is the source.
cp "$images/fat16.img" "$work/gone.img"
ln "$work/gone.img" "$work/kept.img"
hash_kept=$(sha256sum <"$work/kept.img")
gloop=$(losetup -f --show "$work/gone.img") || exit 77
loops+=("$gloop")
rm "$work/gone.img"
kept_unchanged() { [[ $(sha256sum <"$work/kept.img") == "$hash_kept" ]] || fail "$1: kept.img changed"; }
for command in "search" "full-scan --yes"; do
  # shellcheck disable=SC2086
  "$cli" $command "$work/kept.img" -o "$gloop" >"$work/out" 2>"$work/err"
  status=$?
  [[ $status == 1 ]] || fail "$command kept.img -o $gloop (name removed): exit $status, wanted 1"
  kept_unchanged "$command -o $gloop"
done
"$cli" restore "$work/kept.img" --to "$work/kept-out" --report "$gloop" >"$work/out" 2>"$work/err"
status=$?
[[ $status == 1 ]] || fail "restore kept.img --report $gloop (name removed): exit $status, wanted 1"
kept_unchanged "restore --report $gloop"

# A mount of the image: kernel vfat where there is one, else a FUSE driver.
# Read-only, so that the driver itself never touches the bytes compared; the
# refusal comes before any write is tried, and says so with status 1 (a
# write that was tried would have failed with status 3).
mkdir -p "$work/m"
if mount -r -t vfat "$loop" "$work/m" 2>/dev/null || { command -v fusefat >/dev/null && fusefat -o ro "$loop" "$work/m" >/dev/null 2>&1; }; then
  mounts+=("$work/m")
  expect_status "restore x.img into its own mount" 1 "$cli" restore "$work/x.img" --to "$work/m/out"
  grep -q "復元元のドライブ" "$work/err" || fail "restore into its own mount: not refused as on the source"
  [[ -e "$work/m/out" ]] && fail "restore into its own mount made $work/m/out"
  expect_status "search -o into its own mount" 1 "$cli" search "$work/x.img" -o "$work/m/results.txt"
  expect_status "restore --report into its own mount" 1 "$cli" restore "$work/x.img" --to "$work/rescued" \
    --report "$work/m/report.tsv"
  [[ -e "$work/rescued" ]] && fail "restore --report into its own mount restored before refusing"
  umount "$work/m" 2>/dev/null || fusermount -u "$work/m"
  mounts=()
else
  echo "note: no way to mount FAT here; the FAT mount case was not tried"
fi

# exFAT through exfat-fuse, whose mount table line names the loop device.
eloop=$(losetup -f --show "$work/e.img")
loops+=("$eloop")
mkdir -p "$work/em"
if mount -r -t exfat "$eloop" "$work/em" 2>/dev/null || mount.exfat-fuse -o ro "$eloop" "$work/em" >/dev/null 2>&1; then
  mounts+=("$work/em")
  expect_status "restore e.img into its own mount" 1 "$cli" restore "$work/e.img" --to "$work/em/out"
  grep -q "復元元のドライブ" "$work/err" || fail "restore into its own exFAT mount: not refused as on the source"
  [[ -e "$work/em/out" ]] && fail "restore into its own exFAT mount made $work/em/out"
  umount "$work/em" 2>/dev/null || fusermount -u "$work/em"
  mounts=()
else
  echo "note: no way to mount exFAT here; the exFAT mount case was not tried"
fi

[[ $failures -eq 0 ]] || exit 1
echo "source protection: all refused, images unchanged"
