#!/usr/bin/env bash
# A results file of 400,000 rows is restored under a 512 MiB address-space
# limit: every row is read, checked and accounted for (none is on the
# volume, so each is skipped with that reason and listed in the summary),
# and the command ends with its own exit status, not by running out of
# memory. (2,000,000 such rows restore under the limit too, in some 14 s
# on a shared machine: too long for the suite.) A file of more rows than
# the cap is refused with a message. Skipped (77) for a sanitizer build, whose shadow memory no such
# limit admits.
#   long_list_memory.sh VELLUM_CLI IMAGES_DIR
set -uo pipefail
cli=${1:?vellum-cli}
images=${2:?images}
if ldd "$cli" 2>/dev/null | grep 'lib[at]san' >/dev/null; then echo "a sanitizer build"; exit 77; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rows=400000

"$cli" search "$images/fat32-512.img" --no-free-scan -o "$work/small.tsv" >/dev/null 2>&1 || { echo "FAIL: search"; exit 1; }
# The drive and column lines, then one listed row again and again under
# names the volume does not hold.
python3 - "$work/small.tsv" "$work/long.tsv" "$rows" <<'PY'
import sys
lines = open(sys.argv[1], 'rb').read().split(b'\r\n')
row = lines[2].split(b'\t')
with open(sys.argv[2], 'wb') as out:
    out.write(lines[0] + b'\r\n' + lines[1] + b'\r\n')
    for i in range(int(sys.argv[3])):
        row[0] = b'f%07d.txt' % i
        out.write(b'\t'.join(row) + b'\r\n')
PY
(
  ulimit -v 524288
  exec "$cli" restore "$images/fat32-512.img" --results "$work/long.tsv" --to "$work/out" >"$work/out.txt" 2>"$work/err.txt"
)
status=$?
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[[ $status == 3 ]] || fail "exit $status (3 expected): $(head -c 300 "$work/err.txt")"
grep -q "このボリュームに見つからない行: $rows 件" "$work/out.txt" || fail "the summary does not count every row: $(head -c 600 "$work/out.txt")"
last=$(printf 'f%07d.txt' $((rows - 1)))
grep -q "/$last: この一覧の行がこのボリュームに見つかりません" "$work/out.txt" || fail "the last row is not named"
[[ $(find "$work/out" -type f 2>/dev/null | wc -l) == 0 ]] || fail "files were written"

# One row past the cap: the file is refused, with its count, before a row
# is made (so under the limit too), and nothing is written.
python3 - "$work/small.tsv" "$work/cap.tsv" <<'PY'
import sys
lines = open(sys.argv[1], 'rb').read().split(b'\r\n')
with open(sys.argv[2], 'wb') as out:
    out.write(lines[0] + b'\r\n' + lines[1] + b'\r\n' + b'a\t0\r\n' * 10000001)
PY
(
  ulimit -v 524288
  exec "$cli" restore "$images/fat32-512.img" --results "$work/cap.tsv" --to "$work/capped" >"$work/out.txt" 2>"$work/err.txt"
)
status=$?
[[ $status == 1 ]] || fail "past the cap: exit $status (1 expected): $(head -c 300 "$work/err.txt")"
grep -q "10,000,001 行あります。検索結果ファイルから読み込めるのは 10,000,000 行までです。" "$work/err.txt" ||
  fail "past the cap: $(head -c 300 "$work/err.txt")"
[[ ! -e $work/capped ]] || fail "past the cap: the destination was made"
[[ $failures == 0 ]] && echo "PASS"
exit $((failures > 0))
