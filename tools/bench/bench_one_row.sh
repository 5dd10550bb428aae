#!/usr/bin/env bash
# What restoring one row costs, by the list it comes from: a plain search's
# list, and a full scan's list of the same volume (whose rows were read from
# clusters, so the check that the row is still on the volume must find it
# again). Both lists are cut to the same one deleted file; the table gives
# the wall time of each restore, and their ratio (at most 3 is the bar).
# The volume is a FAT32 image of SIZE (4G by default, 512M at least) with
# the search bench's tree of 30,000 files, made by mkfs.fat and mtools.
#   tools/bench/bench_one_row.sh [SIZE]
# VELLUM_CLI: the build timed (build/default of this checkout);
# VELLUM_BEFORE: another build timed beside it in the same run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
size=${1:-4G}
cli=${VELLUM_CLI:-$repo/build/default/src/vellum-cli}
before=${VELLUM_BEFORE:-}
[[ -x $cli ]] || { echo "no vellum-cli at $cli" >&2; exit 1; }
[[ -z $before || -x $before ]] || { echo "no vellum-cli at $before (VELLUM_BEFORE)" >&2; exit 1; }
# shellcheck source=work_dir.sh
. "$here/work_dir.sh"

img=$work/bench.img
"$here/make_fat32_bench_image.sh" "$img" 60 500 "$size" >/dev/null
target="long file name number 3.txt"

# one_rows SEARCH FULL OUT_SEARCH OUT_FULL: each list's drive and column
# lines and its row of the target: in FOLDER-1 in the search's list, and
# the row of the same name and first cluster (below <不明>) in the full scan's.
one_rows() {
  python3 - "$@" "$target" <<'PY'
import sys
search, full, out_search, out_full, want = sys.argv[1:6]
want = want.encode()
def lines(path):
    return open(path, 'rb').read().split(b'\r\n')
def write(path, head, row):
    open(path, 'wb').write(head[0] + b'\r\n' + head[1] + b'\r\n' + row + b'\r\n')
s = lines(search)
rows = [l for l in s[2:] if l.split(b'\t')[0] == want and l.split(b'\t')[1].lower().endswith(b'/folder-1')]
if not rows:
    sys.exit('no row of the target in ' + search)
cluster = rows[0].split(b'\t')[5].strip()
f = lines(full)
same = [l for l in f[2:] if l.split(b'\t')[0] == want and len(l.split(b'\t')) > 5 and l.split(b'\t')[5].strip() == cluster]
if not same:
    sys.exit('no row of the target in ' + full)
write(out_search, s, rows[0])
write(out_full, f, same[0])
PY
}

# seconds COMMAND...: the wall time of one run.
seconds() {
  local start
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  awk -v a="$(date +%s.%N)" -v b="$start" 'BEGIN { printf "%.3f", a - b }' 
}

printf '%-10s %-12s %10s\n' build list seconds
for side in new before; do
  c=$cli
  [[ $side == before ]] && c=$before
  [[ -n $c ]] || continue
  "$c" search "$img" --no-free-scan -o "$work/search-$side.tsv" >/dev/null 2>&1
  "$c" full-scan "$img" --yes -o "$work/full-$side.tsv" >/dev/null 2>&1
  one_rows "$work/search-$side.tsv" "$work/full-$side.tsv" "$work/one-search-$side.tsv" "$work/one-full-$side.tsv"
  s=$(seconds "$c" restore "$img" --results "$work/one-search-$side.tsv" --to "$work/out-s-$side")
  f=$(seconds "$c" restore "$img" --results "$work/one-full-$side.tsv" --to "$work/out-f-$side")
  for out in "$work/out-s-$side" "$work/out-f-$side"; do
    [[ $(find "$out" -type f | wc -l) == 1 ]] || echo "$side: $out holds no single restored file" >&2
  done
  printf '%-10s %-12s %10.2f\n' "$side" search "$s" "$side" full-scan "$f"
  printf '%-10s %-12s %10s\n' "$side" "ratio" "$(awk -v f="$f" -v s="$s" 'BEGIN { printf "%.1f", f / s }')"
done
