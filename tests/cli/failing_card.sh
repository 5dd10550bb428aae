#!/usr/bin/env bash
# A camera card with bad sectors, end to end: the card is served through FUSE
# so that reads touching 4 KiB of the DCIM/100CANON folder cluster and 64 KiB
# of the deleted IMG_0003.JPG fail with EIO. The search lists the folder's
# readable entries and names the folder; the restore writes every photo but
# the damaged one as the healthy card gives it. Then a real ddrescue run saves
# the card to an image and a mapfile, and `--map` gives the same rows and the
# same restored bytes as the failing card itself, and the damaged photo's
# state before any read. Skipped (77) without root, /dev/fuse, fusepy or ddrescue.
#
#   failing_card.sh VELLUM_CLI IMAGES_DIR FUSE_SERVER
set -uo pipefail
cli=${1:?vellum-cli}
images=${2:?images}
server=${3:?failing_fuse.py}
[[ $(id -u) -eq 0 && -c /dev/fuse ]] || { echo "needs root and /dev/fuse"; exit 77; }
/usr/bin/python3 -c 'import fusepy' 2>/dev/null || { echo "needs python3-fusepy"; exit 77; }
command -v ddrescue >/dev/null || { echo "needs ddrescue (gddrescue)"; exit 77; }

work=$(mktemp -d)
mnt=$work/mnt
mkdir -p "$mnt"
cleanup() {
  fusermount -u "$mnt" 2>/dev/null || umount "$mnt" 2>/dev/null
  [[ -n ${server_pid:-} ]] && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

card=$images/failing-card.img
folder_bad=$((328 * 512))-$((336 * 512))
photo_bad=$((640 * 512))-$((768 * 512))
/usr/bin/python3 "$server" "$card" "$mnt" "$folder_bad" "$photo_bad" &
server_pid=$!
for _ in $(seq 100); do [[ -e $mnt/card.img ]] && break; sleep 0.1; done
[[ -e $mnt/card.img ]] || { echo "the FUSE file system did not come up"; exit 77; }
cmp -s -n 4096 "$mnt/card.img" "$card" || fail "the FUSE file does not serve the card"

# The healthy card, for comparison.
"$cli" search "$card" --no-free-scan --format json > "$work/healthy.json" 2>/dev/null
"$cli" restore "$card" --to "$work/healthy" > /dev/null 2>&1

# The failing card.
"$cli" search "$mnt/card.img" --no-free-scan --format json > "$work/failing.json" 2> "$work/failing.err"
grep -q "DCIM/100CANON のフォルダの一部 (4 KiB) を読めませんでした" "$work/failing.err" ||
  fail "the folder is not named: $(cat "$work/failing.err")"
rows=$(wc -l < "$work/failing.json")
[[ $rows -eq 58 ]] || fail "the failing card lists $rows rows, not the 58 its readable entries hold"
"$cli" restore "$mnt/card.img" --to "$work/failing" --report "$work/failing.tsv" > /dev/null 2>&1
status=$?
[[ $status -eq 3 ]] || fail "the restore from the failing card exits $status, not 3"
grep -P '\tzero-filled\t' "$work/failing.tsv" | grep 'MG_0003.JPG' >/dev/null ||
  fail "IMG_0003.JPG is not named as zero-filled: $(grep MG_0003 "$work/failing.tsv")"
# Every restored photo equals the healthy card's, but the damaged one.
while IFS= read -r -d '' f; do
  rel=${f#"$work/failing/"}
  [[ $rel == *MG_0003.JPG ]] && continue
  cmp -s "$f" "$work/healthy/$rel" || fail "$rel differs from the healthy card's"
done < <(find "$work/failing" -type f -print0)

# ddrescue saves the card; its map then stands for the bad sectors.
mkdir -p "$work/rescue"
ddrescue -q -b 512 "$mnt/card.img" "$work/rescue/card.img" "$work/rescue/card.map" >/dev/null 2>&1
[[ -s $work/rescue/card.map ]] || fail "ddrescue wrote no mapfile"
"$cli" search "$work/rescue/card.img" --map "$work/rescue/card.map" --no-free-scan --format json \
  > "$work/mapped.json" 2> "$work/mapped.err"
names() { /usr/bin/python3 -c 'import json,sys; [print(j["name"], j["cluster"]) for j in map(json.loads, open(sys.argv[1]))]' "$1"; }
[[ "$(names "$work/mapped.json")" == "$(names "$work/failing.json")" ]] ||
  fail "--map lists other rows than the failing card"
grep -q "DCIM/100CANON のフォルダの一部 (4 KiB) を読めませんでした" "$work/mapped.err" || fail "--map does not name the folder"
grep 'MG_0003.JPG' "$work/mapped.json" | grep '"state":"unreadable"' >/dev/null ||
  fail "the damaged photo's row does not say unreadable: $(grep MG_0003 "$work/mapped.json")"
grep 'MG_0003.JPG' "$work/mapped.json" | grep '"unreadable_bytes":\[\[65536,131071\]\]' >/dev/null ||
  fail "the damaged photo's row does not name its bytes"
"$cli" restore "$work/rescue/card.img" --map "$work/rescue/card.map" --to "$work/mapped" --report "$work/mapped.tsv" \
  > /dev/null 2>&1
status=$?
[[ $status -eq 3 ]] || fail "the restore with --map exits $status, not 3"
# The same outcomes, reasons and bytes (the destination and state columns aside).
outcomes() { cut -f2,4,5,7,8 "$1"; }
[[ "$(outcomes "$work/mapped.tsv")" == "$(outcomes "$work/failing.tsv")" ]] ||
  fail "the restore with --map differs from the failing card's: $(diff <(outcomes "$work/failing.tsv") <(outcomes "$work/mapped.tsv") | head)"

# A map that does not fit the image is refused with its line.
printf '0 +\n0 4096 +\n2048 4096 -\n' > "$work/bad.map"
"$cli" search "$work/rescue/card.img" --map "$work/bad.map" > /dev/null 2> "$work/bad.err"
status=$?
[[ $status -eq 1 ]] && grep -q "3 行目" "$work/bad.err" || fail "an overlapping map is not refused with its line ($status)"

[[ $failures -eq 0 ]] && echo "ok" || exit 1
