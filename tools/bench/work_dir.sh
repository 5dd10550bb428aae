# Sourced by the image makers: a scratch folder with a mount point, and the
# loop device they attach (set `loop`), undone however the script ends.
export LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1 TZ=UTC
work=$(mktemp -d)
mnt=$work/mnt
loop=
cleanup() {
  if mountpoint -q "$mnt" 2>/dev/null; then umount "$mnt" || fusermount -u "$mnt" || true; fi
  if [[ -n $loop ]]; then losetup -d "$loop" || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
