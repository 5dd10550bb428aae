#!/usr/bin/env bash
# Complete deletion keeps its promise on camera cards made by the real
# tools: after `wipe --yes` no search (every option, --thorough,
# --free-scan) restores a file equal to a photo whose entry was wiped, and
# with --free-space not even the photo whose entry was gone before; the
# free clusters then read as zeros (blkls), and every live file reads back
# byte for byte as before (icat).
set -uo pipefail
cli=${1:?vellum-cli}
images=${2:?folder of unpacked images}
photo=${3:?camera_photo.py}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

hash() { sha256sum | cut -d' ' -f1; }
# The photos deleted from the cards, as camera_photo.py made them.
: >"$work/deleted"
for n in 2 3 5 8 9; do "$photo" "IMG_000$n.JPG" $((6000 + n * 1501)) | hash >>"$work/deleted"; done
"$photo" OLD_0001.JPG 12000 | hash >"$work/old"

# live IMAGE: "path hash" of every live file, read by icat.
live() {
  fls -r -u -F -p "$1" | while IFS=$'\t' read -r head path; do
    inode=${head##* }
    inode=${inode%:}
    echo "$path $(icat "$1" "$inode" | hash)"
  done
}
# recovered IMAGE DIR: the hashes of everything a search with every option restores.
recovered() {
  rm -rf "$2"
  "$cli" search "$1" --thorough --in-use --zero-size --free-scan -o "$work/list.tsv" 2>/dev/null
  "$cli" restore "$1" --thorough --results "$work/list.tsv" --to "$2" >/dev/null 2>&1
  find "$2" -type f -print0 | xargs -0 -r sha256sum | cut -d' ' -f1 | sort -u
}
found() { grep -qxFf "$1" <<<"$2"; }
count() { grep -cxFf "$1" <<<"$2"; }

for name in camera-fat32 camera-exfat; do
  cp "$images/$name.img" "$work/card.img"
  live "$work/card.img" >"$work/live.before"
  [[ $(wc -l <"$work/live.before") -ge 5 ]] || fail "$name: fls lists too few live files"
  before=$(recovered "$work/card.img" "$work/r0")
  [[ $(count "$work/deleted" "$before") == 5 ]] || fail "$name: before the wipe only $(count "$work/deleted" "$before") of 5 photos restore"
  found "$work/old" "$before" || fail "$name: before the wipe OLD_0001.JPG is not found by its content"

  "$cli" wipe "$work/card.img" --yes >/dev/null 2>"$work/err" || fail "$name: wipe failed: $(cat "$work/err")"
  grep -qE "上書きしたクラスタ: [1-9][0-9]* 個" "$work/err" || fail "$name: the message does not count the clusters"
  after=$(recovered "$work/card.img" "$work/r1")
  found "$work/deleted" "$after" && fail "$name: a wiped photo is restored again after wipe --yes"
  # Its entry was gone before the wipe: only the free-space pass reaches it.
  found "$work/old" "$after" || fail "$name: wipe --yes wrote a cluster no wiped entry pointed at"
  live "$work/card.img" | diff -q "$work/live.before" - >/dev/null || fail "$name: a live file changed under wipe --yes"

  cp "$images/$name.img" "$work/card.img"
  "$cli" wipe "$work/card.img" --free-space --yes >/dev/null 2>"$work/err" || fail "$name: wipe --free-space failed"
  grep -qE "上書きしたほかの空きクラスタ: [1-9][0-9]* 個" "$work/err" || fail "$name: the message does not count the free clusters"
  after=$(recovered "$work/card.img" "$work/r2")
  found "$work/deleted" "$after" && fail "$name: a wiped photo is restored after wipe --free-space"
  found "$work/old" "$after" && fail "$name: OLD_0001.JPG is still found after wipe --free-space"
  [[ $(blkls "$work/card.img" | tr -d '\0' | wc -c) == 0 ]] || fail "$name: a free cluster does not read as zeros"
  live "$work/card.img" | diff -q "$work/live.before" - >/dev/null || fail "$name: a live file changed under --free-space"
  echo "ok: $name"
done
[[ $failures -eq 0 ]] || exit 1
echo "complete deletion: nothing wiped comes back, live files unchanged"
