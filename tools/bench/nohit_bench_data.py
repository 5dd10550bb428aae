#!/usr/bin/env python3
"""Files for make_nohit_bench_image.sh, none of whose clusters begins a file
type the free-cluster scan recognises.

  nohit_bench_data.py tree DIR FOLDERS FILES
      FOLDERS folders of FILES text notes each (200 bytes to 40 KB): lower-case
      words, digits and newlines, which no signature begins with at any offset.
  nohit_bench_data.py old FILE MIB SEED
      MIB MiB of pseudo-random bytes (AES-CTR from openssl, so the same
      SEED gives the same bytes), standing for the middle of old
      photos and videos. The only signature short enough to turn up by chance
      in 4 GiB of such bytes is a bitmap's "BM" (once per 64 Ki clusters); its
      first byte is changed wherever it falls at a 4 KiB boundary, which is
      where every cluster of these files starts.
"""
import os
import subprocess
import sys

CLUSTER = 4096
MIB = 1 << 20


def tree(root, folders, files):
    words = "the quick brown fox jumps over the lazy dog and writes down what it saw".split()
    for d in range(folders):
        folder = os.path.join(root, f"folder-{d}")
        os.makedirs(folder, exist_ok=True)
        for f in range(files):
            size = 200 + (d * 7919 + f * 104729) % 40000
            lines = []
            n = 0
            while n < size:
                line = f"line {len(lines):05d} of note {d}/{f}: {' '.join(words[(n + f) % 7:][:8])}\n"
                lines.append(line)
                n += len(line)
            with open(os.path.join(folder, f"note {f}.txt"), "w", encoding="ascii") as out:
                out.write("".join(lines)[:size])


def clear_bitmap_starts(buf):
    at = buf.find(b"BM")
    while at >= 0:
        if at % CLUSTER == 0:
            buf[at] ^= 0x01
        at = buf.find(b"BM", at + 1)


def old(path, mib, seed):
    stream = subprocess.Popen(
        ["openssl", "enc", "-aes-128-ctr", "-nosalt", "-pbkdf2", "-pass", f"pass:{seed}", "-in", "/dev/zero"],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        with open(path, "wb") as out:
            for _ in range(mib):
                buf = bytearray(stream.stdout.read(MIB))
                if len(buf) != MIB:
                    sys.exit("openssl stopped early")
                clear_bitmap_starts(buf)
                out.write(buf)
    finally:
        stream.kill()
        stream.wait()


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "tree":
        tree(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    elif len(sys.argv) == 5 and sys.argv[1] == "old":
        old(sys.argv[2], int(sys.argv[3]), sys.argv[4])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
