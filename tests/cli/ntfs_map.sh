#!/usr/bin/env bash
# An NTFS volume saved by ddrescue with 1 KiB it could not rescue inside a
# deleted file's data: with `--map` the file's row says "unreadable" with
# those bytes (JSON and CSV), and its restore names exactly them (exit 3),
# every other byte as icat gives it.
#
#   ntfs_map.sh VELLUM_CLI IMAGES_DIR
set -uo pipefail
cli=${1:?vellum-cli}
images=${2:?images}
command -v icat >/dev/null || { echo "needs icat (sleuthkit)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

image=$images/ntfs-512.img
size=$(stat -c %s "$image")
# big-deleted.bin (record 82) begins at cluster 61456 of 512 bytes (istat);
# the rescue missed two sectors 5120 bytes into it.
bad=$(( (61456 + 10) * 512 ))
printf '# Mapfile. Created by GNU ddrescue\n0x0 +\n0x0 0x%x +\n0x%x 0x400 -\n0x%x 0x%x +\n' \
  "$bad" "$bad" $((bad + 1024)) $((size - bad - 1024)) > "$work/card.map"

"$cli" search "$image" --no-free-scan --map "$work/card.map" --format json > "$work/rows.json" 2>/dev/null
row=$(grep '"name":"big-deleted.bin"' "$work/rows.json")
[[ $row == *'"state":"unreadable"'* && $row == *'"unreadable_bytes":[[5120,6143]]'* ]] ||
  fail "the JSON row does not name the lost bytes: $row"
[[ $(grep -c '"state":"unreadable"' "$work/rows.json") -eq 1 ]] || fail "other rows are called unreadable"
"$cli" search "$image" --no-free-scan --map "$work/card.map" --format csv > "$work/rows.csv" 2>/dev/null
head -1 "$work/rows.csv" | grep ',unreadable_bytes' >/dev/null || fail "the CSV has no unreadable_bytes column"
grep 'big-deleted.bin' "$work/rows.csv" | grep ',unreadable,.*,5120-6143' >/dev/null ||
  fail "the CSV row does not name the lost bytes: $(grep big-deleted "$work/rows.csv")"

"$cli" search "$image" --no-free-scan -o "$work/list.tsv" 2>/dev/null
"$cli" restore "$image" --map "$work/card.map" --results "$work/list.tsv" --to "$work/out" > "$work/said" 2>&1
status=$?
[[ $status -eq 3 ]] || fail "the restore exits $status, not 3"
grep -q 'big-deleted.bin: 読めない部分を 0 で埋めた (バイト 5120-6143)' "$work/said" ||
  fail "the restore does not name the lost bytes: $(cat "$work/said")"
icat "$image" 82 > "$work/expected"
head -c 5120 "$work/expected" > "$work/with-zeros"
head -c 1024 /dev/zero >> "$work/with-zeros"
tail -c +6145 "$work/expected" >> "$work/with-zeros"
cmp -s "$work/with-zeros" "$work/out/big-deleted.bin" || fail "big-deleted.bin differs beyond the lost bytes"
cmp -s <(icat "$image" 77) "$work/out/deleted.txt" || fail "deleted.txt differs from icat"

# The rescue missed the file's record itself (record 82 of the table at
# cluster 32, 1 KiB each): the list's row cannot be checked, which is no sign
# of another volume; the other rows are restored.
record=$((32 * 512 + 82 * 1024))
printf '# Mapfile. Created by GNU ddrescue\n0x0 +\n0x0 0x%x +\n0x%x 0x400 -\n0x%x 0x%x +\n' \
  "$record" "$record" $((record + 1024)) $((size - record - 1024)) > "$work/record.map"
"$cli" restore "$image" --map "$work/record.map" --results "$work/list.tsv" --to "$work/out2" > "$work/said2" 2>&1
grep -q 'big-deleted.bin: 読めないセクタがあるため' "$work/said2" ||
  fail "the unread record is not told from another volume: $(cat "$work/said2")"
grep -q 'このボリュームに見つかりません' "$work/said2" && fail "a row is called not on this volume: $(cat "$work/said2")"
cmp -s <(icat "$image" 77) "$work/out2/deleted.txt" || fail "deleted.txt is not restored beside it"

[[ $failures -eq 0 ]] && echo ok
exit $((failures > 0))
