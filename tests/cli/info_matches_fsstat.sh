#!/usr/bin/env bash
# For every test image, the geometry `vellum-cli info` prints must agree with
# what The Sleuth Kit's fsstat reports for the same image. Whole-disk images
# are checked partition by partition: our partition N must be the Nth volume
# mmls lists, and `info --partition N` must agree with `fsstat -o <its start>`.
set -euo pipefail
cli=${1:?vellum-cli}
images=${2:?folder of unpacked images}
failures=0

fail() { echo "FAIL $image: $*"; failures=$((failures + 1)); }

# First "a - b" range on the fsstat line matching a pattern: prints "a b".
range() { grep -m1 -E "$1" <<<"$stat" | sed -E 's/.*: *([0-9]+) - ([0-9]+).*/\1 \2/'; }
field() { awk -F'\t' -v k="$1" '$1 == k { print $2 }' <<<"$info"; }
expect() { [[ "$2" == "$3" ]] || fail "$1: vellum $2, fsstat $3"; }

# check NAME SECTOR_OFFSET INFO_ARGS...
check() {
  image=$1
  local offset=$2
  shift 2
  before=$failures
  # fsstat has been seen to spin on damaged exFAT volumes; never let it hang the suite.
  stat=$(timeout 60 fsstat -o "$offset" "$path") || { fail "fsstat failed"; return; }
  info=$("$cli" info "$@") || { fail "vellum-cli info failed"; return; }

  expect fsKind "$(field fsKind)" "$(grep -m1 '^File System Type:' <<<"$stat" | awk '{print $4}')"
  expect "sector size" "$(field bytesPerSector)" "$(grep -m1 '^Sector Size:' <<<"$stat" | awk '{print $3}')"
  expect "cluster size" "$(field clusterBytes)" "$(grep -m1 '^Cluster Size:' <<<"$stat" | awk '{print $3}')"
  label=$(grep -m1 -E '^(Volume Label \(Root Directory\)|Volume Label \(from root directory\)|Volume Name):' <<<"$stat" |
          sed -E 's/^[^:]*: ?//; s/ +$//')
  expect "volume label" "$(field volumeLabel)" "$label"
  read -r _ last <<<"$(range 'Cluster Range:')"
  expect lastCluster "$(field lastCluster)" "$last"

  case $(field fsKind) in
    NTFS)
      expect "MFT cluster" "$(field mftStartCluster)" "$(grep -m1 '^First Cluster of MFT:' <<<"$stat" | awk '{print $5}')"
      expect "record size" "$(field mftRecordSize)" "$(grep -m1 '^Size of MFT Entries:' <<<"$stat" | awk '{print $5}')"
      ;;
    *)
      read -r fat0 fat1 <<<"$(range '\* FAT [01]:')"
      expect fatStartSector "$(field fatStartSector)" "$fat0"
      expect "FAT end" "$(( $(field fatStartSector) + $(field fatSectors) - 1 ))" "$fat1"
      read -r heap _ <<<"$(range '(\* Data Area|Cluster Heap):')"
      [[ $(field fsKind) == exFAT ]] && read -r heap _ <<<"$(range 'Cluster Heap:')"
      read -r root0 root1 <<<"$(range '^\*+ Root Directory:')"
      case $(field fsKind) in
        FAT12|FAT16)
          # fsstat's data area includes the fixed root directory; clusters follow it.
          expect rootDirSector "$(field rootDirSector)" "$root0"
          expect rootDirSectors "$(field rootDirSectors)" "$(( root1 - root0 + 1 ))"
          expect firstDataSector "$(field firstDataSector)" "$(( root1 + 1 ))" ;;
        *)
          expect firstDataSector "$(field firstDataSector)" "$heap"
          expect "root cluster sector" \
            "$(( $(field firstDataSector) + ($(field rootCluster) - 2) * $(field sectorsPerCluster) ))" "$root0" ;;
      esac
      ;;
  esac
  [[ $failures == "$before" ]] && echo "ok $image"
}

for path in "$images"/*.img; do
  name=$(basename "$path")
  case $name in
    sample.img) ;;
    ntfs-big-clusters.img)
      # fsstat does not know clusters above 64 KiB; mkntfs -c 2097152 on 512 MiB made these.
      image=$name
      info=$("$cli" info "$path")
      expect "cluster size" "$(field clusterBytes)" 2097152
      expect lastCluster "$(field lastCluster)" 254
      expect "volume label" "$(field volumeLabel)" BIGCLUSTER
      ;;
    disk-*.img)
      # mmls -a: the allocated volumes only, in disk order, which on these
      # images is also table order.
      starts=$(mmls -a "$path" | awk '$2 ~ /^[0-9]+(:[0-9]+)?$/ { print $3 + 0 }')
      [[ -n $starts ]] || { image=$name; fail "mmls lists no volumes"; continue; }
      n=0
      for start in $starts; do
        n=$((n + 1))
        check "$name#$n" "$start" "$path" --partition "$n"
      done
      image=$name
      "$cli" info "$path" --partition $((n + 1)) >/dev/null 2>&1 && fail "vellum-cli has more partitions than mmls"
      ;;
    *) check "$name" 0 "$path" ;;
  esac
done
exit $(( failures > 0 ))
