#!/usr/bin/env python3
"""Wraps PNG pictures into one Windows icon file (.ico): since Windows Vista
an icon entry may hold PNG data as it is, so no pixels are converted.
  png_to_ico.py OUT.ico IN.png [IN.png ...]"""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit("not a PNG file")
    return struct.unpack(">II", data[16:24])


def main():
    out, pictures = sys.argv[1], [open(p, "rb").read() for p in sys.argv[2:]]
    header = struct.pack("<HHH", 0, 1, len(pictures))
    offset = len(header) + 16 * len(pictures)
    entries = b""
    for data in pictures:
        width, height = png_size(data)
        if width > 256 or height > 256:
            raise SystemExit("an icon is at most 256 pixels wide")
        # 0 stands for 256; 32 bits per pixel, one plane.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(header + entries + b"".join(pictures))


main()
