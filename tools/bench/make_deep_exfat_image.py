#!/usr/bin/env python3
"""Makes an exFAT image whose deleted folders nest DEPTH levels deep, for
measuring the search's time and memory on a hostile tree.

    make_deep_exfat_image.py OUT.img [DEPTH]

mkfs.exfat formats the image with 512-byte clusters; then the root gets the
deleted folder "dir", and each level is one free cluster holding the next
deleted folder "dir" and a deleted file "f" of 10 bytes (the deepest level
holds the file alone): DEPTH levels, 2 * DEPTH rows. The entries are written
into the image directly, since no driver makes a deleted tree."""
import struct
import subprocess
import sys

CLUSTER = 512


def entry_set(attributes, first_cluster, size, name):
    """A deleted File entry, its Stream Extension and its File Name entries."""
    names = [name[i:i + 15] for i in range(0, len(name), 15)]
    file_entry = bytearray(32)
    file_entry[0] = 0x05
    file_entry[1] = 1 + len(names)
    struct.pack_into("<H", file_entry, 4, attributes)
    struct.pack_into("<I", file_entry, 12, 0x58A60000)  # 2024-05-06 00:00:00, modified
    stream = bytearray(32)
    stream[0] = 0x40
    stream[1] = 0x03  # allocation possible, contiguous
    stream[3] = len(name)
    struct.pack_into("<Q", stream, 8, size)
    struct.pack_into("<I", stream, 20, first_cluster)
    struct.pack_into("<Q", stream, 24, size)
    out = bytes(file_entry) + bytes(stream)
    for part in names:
        entry = bytearray(32)
        entry[0] = 0x41
        encoded = part.encode("utf-16-le")
        entry[2:2 + len(encoded)] = encoded
        out += bytes(entry)
    return out


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    out = sys.argv[1]
    depth = int(sys.argv[2]) if len(sys.argv) == 3 else 100_000
    heap_bytes = (depth + 64) * CLUSTER
    size = (heap_bytes + (heap_bytes // CLUSTER) * 4 + (8 << 20)) // (1 << 20) * (1 << 20)
    with open(out, "wb") as f:
        f.truncate(size)
    subprocess.run(["mkfs.exfat", "-c", str(CLUSTER), out], check=True, capture_output=True)
    with open(out, "r+b") as f:
        boot = f.read(512)
        sector = 1 << boot[108]
        heap_offset = struct.unpack_from("<I", boot, 88)[0] * sector
        cluster_count = struct.unpack_from("<I", boot, 92)[0]
        root = struct.unpack_from("<I", boot, 96)[0]
        cluster_bytes = sector << boot[109]
        if cluster_bytes != CLUSTER:
            sys.exit(f"mkfs.exfat made {cluster_bytes}-byte clusters")

        def at(cluster):
            return heap_offset + (cluster - 2) * CLUSTER

        # The tree takes the clusters at the end of the heap, which a fresh
        # volume leaves free.
        first = cluster_count + 2 - (depth + 1)
        if first <= root + 8:
            sys.exit("the volume is too small for the tree")
        f.seek(at(root))
        entries = f.read(CLUSTER)
        free_slot = next(i for i in range(0, CLUSTER, 32) if entries[i] == 0)
        f.seek(at(root) + free_slot)
        f.write(entry_set(0x10, first, CLUSTER, "dir"))
        for level in range(depth + 1):
            here = first + level
            block = b""
            if level < depth:
                block += entry_set(0x10, here + 1, CLUSTER, "dir")
            block += entry_set(0x20, here, 10, "f")
            f.seek(at(here))
            f.write(block.ljust(CLUSTER, b"\0"))
    print(f"{out}: {depth} levels, {2 * depth + 2} deleted entries")


if __name__ == "__main__":
    main()
