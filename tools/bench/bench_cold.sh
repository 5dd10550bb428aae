#!/usr/bin/env bash
# The restore, the NTFS listing and the free-cluster scan with the image's
# pages evicted from the page cache before every run, beside the peer and
# dd reading the same bytes (buffered, and iflag=direct), with the read
# requests each made: the system calls (strace) and, on a loop device over
# the image, the requests the block layer completed (/sys/block/loopN/stat).
#
#   tools/bench/bench_cold.sh restore|listing|scan IMAGE
#
# No privilege is needed for the eviction: `dd iflag=nocache count=0` asks
# the kernel (posix_fadvise POSIX_FADV_DONTNEED) to drop the file's clean
# pages, which fincore confirms; /proc/sys/vm/drop_caches is not touched.
# The loop-device figures need root (losetup). One run per cell. Restores
# write under build/bench/cold, or VELLUM_BENCH_OUT (a tmpfs, say).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cli=${VELLUM_CLI:-$repo/build/default/src/vellum-cli}
what=${1:?usage: bench_cold.sh restore|listing|scan IMAGE}
image=$(realpath "${2:?image}")
out=${VELLUM_BENCH_OUT:-$repo/build/bench/cold}
mkdir -p "$out"

evict() {
  sync "$1"
  dd if="$1" iflag=nocache count=0 status=none
}

# The command lines for SOURCE (the image or the loop device over it).
ours() {
  case $what in
    restore) echo "'$cli' restore '$1' --to '$out/ours'" ;;
    listing) echo "'$cli' search '$1' --no-free-scan --zero-size --format results -o '$out/list.tsv'" ;;
    scan) echo "'$cli' search '$1' --free-scan --format results -o '$out/scan.tsv'" ;;
  esac
}
peer() {
  case $what in
    restore) echo "tsk_recover '$1' '$out/peer'" ;;
    listing) echo "ntfsundelete -s -f '$1'" ;;
    scan) echo "cd '$out/photorec' && photorec /log /d '$out/photorec/r' /cmd '$1' partition_none,freespace,search" ;;
  esac
}
fresh() { rm -rf "$out/ours" "$out/peer" "$out/photorec" && mkdir -p "$out/ours" "$out/peer" "$out/photorec"; }

timed() {  # label, command line: evicts the image, prints seconds
  fresh
  evict "$image"
  /usr/bin/time -f '%e' -o "$out/time.txt" bash -c "$2" >/dev/null 2>&1 || true
  printf '%-28s %8s s\n' "$1" "$(tail -1 "$out/time.txt")"
}

# Read system calls of one cold run: count, and how many were 1 MiB or more.
syscalls() {
  fresh
  evict "$image"
  strace -f -qq -e trace=pread64,read -o "$out/strace.txt" bash -c "$1" >/dev/null 2>&1 || true
  awk -v img="$image" '
    /pread64\(|[^p]read\(/ { n = $NF; if (n ~ /^[0-9]+$/ && n > 0) { calls++; bytes += n; if (n >= 1048576) big++ } }
    END { printf "%d read calls returning data, %.1f MB, %d of them of 1 MiB or more\n", calls, bytes / 1e6, big }
  ' "$out/strace.txt"
}

echo "== $what, cold, $image ($(du -h --apparent-size "$image" | cut -f1))"
timed "dd bs=1M" "dd if='$image' of=/dev/null bs=1M"
timed "dd iflag=direct bs=1M" "dd if='$image' of=/dev/null bs=1M iflag=direct"
timed "vellum-cli" "$(ours "$image")"
timed "peer" "$(peer "$image")"
echo "-- read system calls (strace), vellum-cli: $(syscalls "$(ours "$image")")"
echo "-- read system calls (strace), peer:       $(syscalls "$(peer "$image")")"

if [[ $(id -u) == 0 ]]; then
  loop=$(losetup -f --show -r "$image")
  trap 'losetup -d "$loop"' EXIT
  dev=$(basename "$loop")
  for who in vellum-cli peer; do
    evict "$image"
    dd if="$loop" iflag=nocache count=0 status=none
    fresh
    read -r r0 _ s0 _ < "/sys/block/$dev/stat"
    if [[ $who == vellum-cli ]]; then cmd=$(ours "$loop"); else cmd=$(peer "$loop"); fi
    bash -c "$cmd" >/dev/null 2>&1 || true
    read -r r1 _ s1 _ < "/sys/block/$dev/stat"
    reads=$((r1 - r0)) sectors=$((s1 - s0))
    printf -- '-- block requests on %s, %s: %d reads, %d MB, %d KiB each on average\n' \
      "$dev" "$who" "$reads" $((sectors * 512 / 1000000)) $((reads ? sectors / 2 / reads : 0))
  done
fi
rm -rf "$out/ours" "$out/peer" "$out/photorec"
