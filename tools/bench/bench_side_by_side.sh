#!/usr/bin/env bash
# One table, one run: the search, the free-cluster scan and the restore of a
# FAT32, an exFAT and an NTFS volume beside the peers on the same image
# (fls -rd -p, ntfsundelete -s, PhotoRec on the free space, tsk_recover) and
# a dd bs=1M read of the whole image, each with its wall time and maximum
# resident memory (GNU time). Warm page cache; one run per cell (hyperfine
# runs of each part are in the bench_*.sh scripts beside this one).
#
#   tools/bench/bench_side_by_side.sh [FAT32.img EXFAT.img NTFS.img]
#
# Without images, makes 1 GiB ones with make_nohit_bench_image.sh (a tree of
# notes over free space of old pseudo-random data; exFAT and NTFS need root)
# in build/bench/, once. Needs the tools of scripts/setup.sh --bench and a
# built vellum-cli (build/default; VELLUM_CLI names another). The restores
# write under build/bench/side-by-side, or VELLUM_BENCH_OUT: a tmpfs there
# keeps the destination file system's own state (ext4 looks long for a free
# inode after many files were deleted) out of the comparison.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cli=${VELLUM_CLI:-$repo/build/default/src/vellum-cli}
out=${VELLUM_BENCH_OUT:-$repo/build/bench/side-by-side}
mkdir -p "$out"
if (($# == 3)); then
  images=("$1" "$2" "$3")
else
  images=()
  for fs in fat32 exfat ntfs; do
    image=$repo/build/bench/side-$fs.img
    [[ -f $image ]] || "$here/make_nohit_bench_image.sh" "$fs" "$image" old 1
    images+=("$image")
  done
fi

# Runs a command line, prints "seconds<TAB>max resident KB" (or "failed").
measure() {
  local log=$out/time.txt
  if /usr/bin/time -f '%e\t%M' -o "$log" bash -c "$1" >/dev/null 2>&1; then
    cat "$log"
  else
    printf 'failed\t-\n'
  fi
}

row() {  # volume, what, tool, command line
  printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$(measure "$4")"
}

{
  printf 'volume\twhat\ttool\tseconds\tmax RSS (KB)\n'
  for image in "${images[@]}"; do
    fs=$("$cli" info "$image" | awk -F'\t' '$1 == "fsKind" { print $2 }')
    name="$fs $(du -h --apparent-size "$image" | cut -f1)"
    cat "$image" > /dev/null  # warm
    row "$name" read "dd bs=1M" "dd if='$image' of=/dev/null bs=1M"
    row "$name" search vellum-cli "'$cli' search '$image' --no-free-scan --format results -o '$out/list.tsv'"
    row "$name" search "fls -rd -p" "fls -rd -p '$image'"
    if [[ $fs == NTFS ]]; then
      row "$name" search "ntfsundelete -s" "ntfsundelete -s '$image'"
    fi
    row "$name" "free scan" vellum-cli "'$cli' search '$image' --free-scan --format results -o '$out/scan.tsv'"
    rm -rf "$out/photorec"
    mkdir -p "$out/photorec"
    row "$name" "free scan" PhotoRec \
      "cd '$out/photorec' && photorec /log /d '$out/photorec/r' /cmd '$image' partition_none,freespace,search"
    rm -rf "$out/restored" "$out/tsk"
    mkdir -p "$out/restored" "$out/tsk"
    # NTFS restores what the search listed; FAT and exFAT run the walk restore.
    if [[ $fs == NTFS ]]; then
      row "$name" restore vellum-cli "'$cli' restore '$image' --results '$out/list.tsv' --to '$out/restored'"
    else
      row "$name" restore vellum-cli "'$cli' restore '$image' --to '$out/restored'"
    fi
    row "$name" restore tsk_recover "tsk_recover '$image' '$out/tsk'"
  done
} | column -t -s $'\t'
rm -rf "$out/photorec" "$out/restored" "$out/tsk"
