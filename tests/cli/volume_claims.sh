#!/usr/bin/env bash
# A boot sector that claims a volume far larger than its source: a 40 MiB
# FAT32 image (mkfs.fat) whose sector count says 2 TiB, and a 32 MiB NTFS
# image (mkntfs) whose sector count says 1 TiB. The scans read the source to
# its end and stop there, saying so, instead of reading terabytes of zeros
# (a scan still running after two minutes counts as a failure).
set -uo pipefail
cli=${1:?vellum-cli}
command -v mkfs.fat >/dev/null || { echo "needs mkfs.fat"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# claim IMAGE OFFSET BYTES VALUE: writes VALUE little-endian into the boot sector.
claim() {
  python3 -c 'import struct,sys; f=open(sys.argv[1],"r+b"); f.seek(int(sys.argv[2])); f.write(struct.pack("<Q" if sys.argv[3]=="8" else "<I", int(sys.argv[4])))' "$@"
}

# scan WHAT COMMAND...: must end by itself, exit 0, and name where the scan stopped.
scan() {
  local what=$1
  shift
  timeout 120 "$@" >"$work/out" 2>"$work/err"
  local status=$?
  [[ $status == 124 ]] && { fail "$what: still scanning after 120 s"; return; }
  [[ $status == 0 ]] || fail "$what: exit $status: $(head -c 300 "$work/err")"
  grep -q "クラスタのスキャンはクラスタ" "$work/err" || fail "$what: does not say where the scan ends: $(head -c 300 "$work/err")"
}

truncate -s 40M "$work/fat.img" && mkfs.fat -F 32 "$work/fat.img" >/dev/null || exit 77
claim "$work/fat.img" 32 4 $((0xFFFFFFF0))  # BPB_TotSec32: 2 TiB of 512-byte sectors
scan "full-scan of 40 MiB claiming 2 TiB" "$cli" full-scan "$work/fat.img" --yes -o "$work/fat.tsv"
scan "search --free-scan of 40 MiB claiming 2 TiB" "$cli" search "$work/fat.img" --free-scan -o "$work/fat2.tsv"

if command -v mkntfs >/dev/null; then
  truncate -s 32M "$work/ntfs.img" && mkntfs -F -q "$work/ntfs.img" >/dev/null 2>&1 || exit 77
  claim "$work/ntfs.img" 40 8 $((1 << 31))  # total sectors: 1 TiB of 512-byte sectors
  scan "search --free-scan of 32 MiB NTFS claiming 1 TiB" "$cli" search "$work/ntfs.img" --free-scan -o "$work/n.tsv"
else
  echo "note: no mkntfs; the NTFS case was not tried"
fi

[[ $failures -eq 0 ]] || exit 1
