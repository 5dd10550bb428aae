#!/usr/bin/env bash
# A link left in the destination never carries restored files out of it.
# For every folder a restore makes, at every depth, the folder is replaced
# by a link first: to a folder that exists (holding the folders below it, so
# that a restore through the link would find its way) and to one that does
# not. The restore must write nothing through the link, name it, count the
# items below it as not restored (exit 3), and restore everything else as a
# plain destination gets it. FAT, exFAT and NTFS; the walk and --results.
set -uo pipefail
cli=${1:?vellum-cli}
images=${2:?folder of unpacked images}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# check NAME ARGS...: the restore (ARGS, --to added) with each folder of its
# plain restore replaced by a link in turn.
check() {
  local name=$1
  shift
  local ref="$work/ref-$name"
  "$@" --to "$ref" >"$work/ref.out" 2>&1
  local files
  files=$(find "$ref" -type f | wc -l)
  [[ $files -gt 0 ]] || { fail "$name: the plain restore wrote nothing: $(tail -3 "$work/ref.out")"; return; }
  local folders=0
  while IFS= read -r -d '' folder; do
    local rel=${folder#"$ref/"}
    local below
    below=$(find "$folder" -type f | wc -l)
    [[ $below -gt 0 ]] || continue
    folders=$((folders + 1))
    for kind in existing missing; do
      local dest="$work/dest" away="$work/away"
      rm -rf "$dest" "$away"
      mkdir -p "$(dirname "$dest/$rel")"
      if [[ $kind == existing ]]; then
        mkdir -p "$away"
        (cd "$folder" && find . -mindepth 1 -type d -print0) | (cd "$away" && xargs -0 -r mkdir -p)
      fi
      ln -s "$away" "$dest/$rel"
      "$@" --to "$dest" >"$work/out" 2>&1
      local status=$?
      local what="$name, $rel -> $kind folder"
      # A link where the command's own folder goes (--folder's) refuses the
      # command before anything is written.
      [[ $status == 3 || ($status == 1 && $below == "$files") ]] || fail "$what: exit $status, wanted 3"
      [[ -L "$dest/$rel" ]] || fail "$what: the link was replaced"
      if [[ -d "$away" && -n $(find "$away" -type f | head -1) ]]; then
        fail "$what: wrote through the link: $(find "$away" -type f | head -3)"
      fi
      [[ $kind == missing && -e "$away" ]] && fail "$what: made the link's target"
      grep -q "復元先にあるリンク" "$work/out" || fail "$what: the link is not named: $(tail -4 "$work/out")"
      local written
      written=$(find "$dest" -type f | wc -l)
      [[ $written == $((files - below)) ]] || fail "$what: $written files written, wanted $((files - below))"
    done
  done < <(find "$ref" -mindepth 1 -type d -print0)
  [[ $folders -gt 0 ]] || fail "$name: no folder to put a link in"
  echo "$name: $folders folders, each replaced by a link to an existing and a missing folder"
}

for image in fat16 exfat-sets; do
  check "$image walk" "$cli" restore "$images/$image.img"
  "$cli" search "$images/$image.img" -o "$work/$image.tsv" 2>/dev/null || fail "$image: search"
  check "$image rows" "$cli" restore "$images/$image.img" --results "$work/$image.tsv"
done
check "ntfs walk" "$cli" restore "$images/ntfs-512.img" --folder 87
"$cli" search "$images/ntfs-512.img" -o "$work/ntfs.tsv" 2>/dev/null || fail "ntfs: search"
check "ntfs rows" "$cli" restore "$images/ntfs-512.img" --results "$work/ntfs.tsv"

[[ $failures -eq 0 ]] || exit 1
