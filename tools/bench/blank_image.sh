# Sourced by the image makers: `blank_image OUT SIZE` makes the file a volume
# is then formatted on (SIZE as truncate and head take it: 512M, 1G).
# BENCH_WRITTEN=full writes the SIZE bytes out as zeros first, as on a card or
# disk: free space the tools never wrote stays zeros on the medium, and a scan
# reads every byte of it. BENCH_WRITTEN=sparse (the default) leaves the file
# all holes, whose free space the reader skips without reading
# (DataExtentFrom), so the two kinds of figure differ.
blank_image() {
  local out=$1 size=$2
  rm -f "$out"
  case ${BENCH_WRITTEN:-sparse} in
    full) head -c "$size" /dev/zero > "$out" ;;
    sparse) truncate -s "$size" "$out" ;;
    *) echo "BENCH_WRITTEN is full or sparse, not ${BENCH_WRITTEN}" >&2; return 2 ;;
  esac
}
