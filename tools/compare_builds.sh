#!/bin/bash
# Runs two builds of vellum-cli over every test image and partition and
# diffs what they produce: every results file (the walk, --thorough,
# --free-scan, each listing option, the full scan), and every restore (the
# walk, and the rows of each of those lists) as files, bytes and times, with
# the summary and the exit status.
#
#   tools/compare_builds.sh OLD_CLI NEW_CLI [IMAGE_DIR]
#
# IMAGE_DIR defaults to build/default/testdata (`ctest -R data.unpack`).
# With COMPARE_WITHOUT_SLOT=1 the results files are compared with the data
# word's bits 3 and up cleared: a build that records the cluster a scanned
# entry was read from there, beside one that does not.
# Exit status 0 when both builds agree on everything, 1 when they differ
# (the differences are printed), 2 on bad usage.
set -u

old_cli=${1:-}
new_cli=${2:-}
images=${3:-build/default/testdata}
if [[ ! -x $old_cli || ! -x $new_cli || ! -d $images ]]; then
  echo "usage: $0 OLD_CLI NEW_CLI [IMAGE_DIR]" >&2
  exit 2
fi
old_cli=$(realpath "$old_cli")
new_cli=$(realpath "$new_cli")
images=$(realpath "$images")
work=$(mktemp -d "${TMPDIR:-/tmp}/vellum-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
started=$(date +%s)
differences=0
compared=0

# The image files as each build is given them: the same path, so that the
# root texts and folder cells match.
sources() {
  local image
  for image in "$images"/*.img; do
    case $(basename "$image") in
      disk-*.img)
        "$new_cli" drives "$image" 2>/dev/null | awk -F'\t' -v img="$image" '
          $5 == img && $2 ~ /#[0-9]+:\/$/ { n = $2; sub(/^.*#/, "", n); sub(/:\/$/, "", n); print img "#" n }' ;;
      *) echo "$image" ;;
    esac
  done
}

# A restored tree as text: kind, path, size, modification time, SHA-256.
# A time from this run is written "now", so that two runs compare equal.
tree_text() {
  local root=$1
  [[ -d $root ]] || { echo "(no folder)"; return; }
  (cd "$root" && find . -mindepth 1 -printf '%y\t%P\t%s\t%T@\n' | sort | while IFS=$'\t' read -r kind path size mtime; do
    [[ $kind == d ]] && size=-
    # Folders made on the way and recognised contents have no time of their
    # own: they keep the time they were written.
    if (( ${mtime%.*} >= started - 5 )); then mtime=now; fi
    sum=-
    [[ $kind == f ]] && sum=$(sha256sum < "$path" | cut -c1-64)
    printf '%s\t%s\t%s\t%s\t%s\n' "$kind" "$path" "$size" "$mtime" "$sum"
  done)
}

# A results file with each row's data word (its last cell) cut to bits 0-2.
without_slot() {
  python3 -c '
import sys
for line in sys.stdin.buffer.read().split(b"\r\n"):
    cells = line.split(b"\t")
    if len(cells) >= 7 and cells[-1].strip().isdigit():
        word = cells[-1]
        cells[-1] = str(int(word) & 7).encode().rjust(len(word))
    sys.stdout.buffer.write(b"\t".join(cells) + b"\r\n")'
}

# Runs one command line with both builds; `$out` in the arguments becomes
# each build's own output path. Compares the status, standard output (the
# output paths made equal) and, when given, the file or folder at `$out`.
compare() {
  local label=$1 kind=$2
  shift 2
  local side status
  for side in old new; do
    local cli=$old_cli
    [[ $side == new ]] && cli=$new_cli
    local out="$work/$side/$label"
    mkdir -p "$(dirname "$out")"
    local args=("${@//\$out/$out}")
    "$cli" "${args[@]}" > "$work/$side.stdout" 2> "$work/$side.stderr"
    status=$?
    {
      echo "status $status"
      sed "s|$work/$side/|OUT/|g" "$work/$side.stdout"
      case $kind in
        file) if [[ ! -f $out ]]; then echo "(no file)"
              elif [[ ${COMPARE_WITHOUT_SLOT:-0} == 1 ]]; then without_slot < "$out" | sha256sum
              else sha256sum < "$out"; fi ;;
        tree) tree_text "$out" ;;
      esac
    } > "$work/$side.result"
  done
  compared=$((compared + 1))
  if ! cmp -s "$work/old.result" "$work/new.result"; then
    differences=$((differences + 1))
    echo "DIFFERS: $label"
    diff "$work/old.result" "$work/new.result" | head -20
  fi
}

search_forms=(
  "walk|search"
  "thorough|search --thorough"
  "free-scan|search --free-scan"
  "free-scan-thorough|search --free-scan --thorough"
  "in-use|search --in-use --free-scan"
  "zero-size|search --zero-size --free-scan"
  "no-analyse|search --no-analyse --free-scan"
  "every-option|search --in-use --zero-size --thorough --free-scan"
  "filter|search --filter DELETED --free-scan"
  "full-scan|full-scan --yes"
)

while read -r source; do
  name=$(basename "$source" | tr '#' '_')
  # Every results file, and the restore of all its rows (from the list the
  # old build wrote, so that both restore the same rows).
  for form in "${search_forms[@]}"; do
    tag=${form%%|*}
    read -r -a words <<< "${form#*|}"
    compare "$name/$tag.tsv" file "${words[0]}" "$source" "${words[@]:1}" -o '$out'
    list="$work/old/$name/$tag.tsv"
    [[ -s $list ]] || continue
    opts=()
    [[ " ${words[*]} " == *" --thorough "* ]] && opts+=(--thorough)
    compare "$name/$tag.rows" tree restore "$source" --results "$list" --to '$out' "${opts[@]}"
  done
  # The walk in restore mode: from the root on FAT and exFAT, and on NTFS
  # for every deleted folder the list names.
  compare "$name/walk-restore" tree restore "$source" --to '$out'
  compare "$name/walk-restore-thorough" tree restore "$source" --to '$out' --thorough
  awk -F'\t' 'NR > 2 && $5 ~ /\.[0-9]+$/ && $6 ~ /[0-9]/ && ($NF % 2) == 1 { gsub(/ /, "", $6); print $6 }' \
    "$work/old/$name/walk.tsv" 2>/dev/null | tr -d '\r' | sort -un | while read -r record; do
    compare "$name/folder-$record" tree restore "$source" --folder "$record" --to '$out'
  done
done < <(sources)

echo "compared: $compared, differing: $differences"
(( differences == 0 ))
