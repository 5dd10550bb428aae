#!/usr/bin/env bash
# Makes the thorough-search benchmark volume: by default 4 GiB, 50,000 files in
# 1,025 folders (DCIM/1xxPHOTO camera folders among them), written in five
# rounds that each add files to every folder, so directory clusters and file
# data interleave; 15,000 files deleted, 30 leaf folders among them deleted
# whole. thorough_bench_tree.py holds the plan (names, sizes, bytes, what is
# deleted when) and rebuilds it from the seed.
#   make_thorough_bench_image.sh fat32|exfat OUT.img [SCALE]
# SCALE (0.1 for a quick run) shrinks every count and the volume. BENCH_SEED
# changes the seed. fat32 is written by mkfs.fat and mtools only; exfat by
# mkfs.exfat and exfat-fuse on a loop device (needs root). BENCH_WRITTEN=full
# writes the image out in full first (blank_image.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
format=${1:?usage: make_thorough_bench_image.sh fat32|exfat OUT.img [SCALE]}
out=${2:?output image}
scale=${3:-1}
seed=${BENCH_SEED:-20261209}
tree=(python3 "$here/thorough_bench_tree.py" --seed "$seed" --scale "$scale")
case $format in fat32 | exfat) ;; *) echo "unknown format: $format" >&2; exit 2 ;; esac

source "$here/work_dir.sh"
source "$here/blank_image.sh"

# Round R's files, made on the local disk so that one copy writes them all.
stage_round() {
  rm -rf "$work/stage"
  mkdir -p "$work/stage"
  "${tree[@]}" stage "$1" "$work/stage"
}

# Reads the plan's NUL-separated "F path" / "D path" items for a round and
# hands them to the format's delete commands, many paths per call.
delete_round() {
  local item files=() folders=()
  while IFS= read -r -d '' item; do
    if [[ $item == "F "* ]]; then files+=("${item:2}"); else folders+=("${item:2}"); fi
  done < <("${tree[@]}" deletions "$1")
  [[ ${#files[@]} -gt 0 ]] && "delete_files_$format" "${files[@]}"
  [[ ${#folders[@]} -gt 0 ]] && "delete_folders_$format" "${folders[@]}"
  return 0
}

# mtools matches names case-insensitively and by long name, so the plan's
# paths serve as they are ("::/" is the volume root).
delete_files_fat32() { printf '::/%s\0' "$@" | xargs -0 -n 500 mdel -i "$out"; }
delete_folders_fat32() { printf '::/%s\0' "$@" | xargs -0 -n 50 mdeltree -i "$out"; }
copy_round_fat32() {
  shopt -s dotglob
  mcopy -s -i "$out" "$work/stage/"* ::/
  shopt -u dotglob
}
delete_files_exfat() { (cd "$mnt" && printf '%s\0' "$@" | xargs -0 rm --); }
delete_folders_exfat() { (cd "$mnt" && printf '%s\0' "$@" | xargs -0 rm -r --); }
copy_round_exfat() { cp -r "$work/stage/." "$mnt/"; sync; }

rounds=$("${tree[@]}" rounds)
blank_image "$out" "$("${tree[@]}" volume-mib)M"
if [[ $format == fat32 ]]; then
  mkfs.fat -F 32 -i 20261209 -n THOROUGH "$out" >/dev/null
else
  mkfs.exfat -L THOROUGH "$out" >/dev/null
  tune.exfat -I 0x20261209 "$out" >/dev/null
  mkdir "$mnt"
  loop=$(losetup -f --show "$out")
  mount.exfat-fuse "$loop" "$mnt"
fi
for ((r = 1; r <= rounds; r++)); do
  echo "round $r/$rounds: writing" >&2
  stage_round "$r"
  "copy_round_$format"
  delete_round "$r"
done
rm -rf "$work/stage"
if [[ $format == exfat ]]; then
  sync
  umount "$mnt"
  losetup -d "$loop"
  loop=
fi
# The plan's seed and scale beside the image, for bench_thorough.sh.
printf 'seed=%s\nscale=%s\n' "$seed" "$scale" > "$out.plan"
echo "$out: $("${tree[@]}" summary)"
