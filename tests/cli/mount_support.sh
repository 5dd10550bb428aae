# Shared by the tests that make loop devices and mounts: sourced after
# `cli` and `images` are set. Exits 77 (skipped) without root and losetup;
# whatever was mounted or attached is undone when the test ends.
[[ $(id -u) -eq 0 ]] && command -v losetup >/dev/null || { echo "needs root and losetup"; exit 77; }

work=$(mktemp -d)
loops=()
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null || fusermount -u "$m" 2>/dev/null; done
  for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
