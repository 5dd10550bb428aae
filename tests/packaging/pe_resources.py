#!/usr/bin/env python3
"""Reads two resources wrestool took out of a Windows program and checks them:
the icon group (the sizes it offers) and the version information (the fixed
file and product versions, and the FileVersion and ProductVersion texts).
  pe_resources.py GROUP.bin VERSION.bin X.Y.Z NAME"""
import struct
import sys

WANT_SIZES = {48, 32, 16}


def icon_sizes(data):
    """The pixel sizes of a GRPICONDIR: a 6-byte header, then 14-byte entries."""
    if len(data) < 6:
        return None
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or len(data) < 6 + 14 * count:
        return None
    return {data[6 + 14 * i] or 256 for i in range(count)}


def fixed_versions(data):
    """(file, product) versions as four numbers each, from VS_FIXEDFILEINFO."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0 or at + 24 > len(data):
        return None
    fms, fls, pms, pls = struct.unpack_from("<IIII", data, at + 8)
    words = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    return words(fms, fls), words(pms, pls)


def string_value(data, key):
    """The text after KEY in the UTF-16 StringFileInfo block, or None."""
    text = data.decode("utf-16-le", errors="replace")
    at = text.find(key + "\0")
    if at < 0:
        return None
    rest = text[at + len(key) + 1:].lstrip("\0")
    return rest.split("\0", 1)[0]


def main():
    group, version, want, name = sys.argv[1:5]
    faults = []
    sizes = icon_sizes(open(group, "rb").read())
    if sizes is None or not WANT_SIZES <= sizes:
        faults.append(f"icon group 128 offers {sorted(sizes or [])}, not 48, 32 and 16 pixels")
    data = open(version, "rb").read()
    numbers = tuple(int(n) for n in want.split(".")) + (0,)
    fixed = fixed_versions(data)
    if fixed != (numbers, numbers):
        faults.append(f"fixed file and product versions are {fixed}, not {numbers}")
    for key in ("FileVersion", "ProductVersion"):
        if string_value(data, key) != want:
            faults.append(f"{key} is {string_value(data, key)!r}, not {want!r}")
    if string_value(data, "OriginalFilename") != name:
        faults.append(f"OriginalFilename is {string_value(data, 'OriginalFilename')!r}, not {name!r}")
    for fault in faults:
        print(f"FAIL: {name}: {fault}", file=sys.stderr)
    return 1 if faults else 0


sys.exit(main())
