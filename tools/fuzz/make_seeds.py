#!/usr/bin/env python3
"""Writes the seed inputs of the sparse-image fuzz targets (tests/fuzz/sparse_image.h).

NTFS seeds are the metadata of the committed test images: the boot sector and
the first file records, laid at their offsets; file data is left out (it reads as
zeros), which keeps each seed near a hundred kilobytes. exFAT seeds are made
here: a chain of nested deleted folders, and folders that point back up.

usage: make_seeds.py TESTDATA_DIR CORPUS_DIR
"""
import struct
import sys
from pathlib import Path

SECTOR = 512
MAX_PIECE = 65024


def pieces(chunks):
    """chunks: {offset: bytes} of whole sectors -> the input bytes, runs merged."""
    out = bytearray()
    run_start, run = None, bytearray()
    for offset in sorted(chunks):
        if run_start is not None and offset == run_start + len(run) and len(run) + SECTOR <= MAX_PIECE:
            run += chunks[offset]
            continue
        if run_start is not None:
            out += struct.pack('<IH', run_start, len(run)) + run
        run_start, run = offset, bytearray(chunks[offset])
    if run_start is not None:
        out += struct.pack('<IH', run_start, len(run)) + run
    return bytes(out)


def ntfs_seed(image):
    data = image.read_bytes()[: 16 << 20]
    record_size = 1024
    chunks = {0: data[:SECTOR]}
    for at in range(0, len(data), SECTOR):
        # The first records hold the system files and the scenario's files;
        # the hundreds of small hole files after them add nothing new.
        if data[at:at + 4] == b'FILE' and struct.unpack_from('<I', data, at + 44)[0] < 160:
            for s in range(at, at + record_size, SECTOR):
                chunks[s] = data[s:s + SECTOR]
    return pieces(chunks)


FAT_BYTES = 65536 * 4


def exfat_set(attributes, first, size, name, flags=3):
    e = bytearray(32 * (2 + (len(name) + 14) // 15))
    e[0] = 0x05
    struct.pack_into('<HHH', e, 4, attributes, 0, 0)
    struct.pack_into('<H', e, 14, 0x58A6)
    e[32], e[33] = 0x40, flags
    struct.pack_into('<Q', e, 40, size)
    struct.pack_into('<I', e, 52, first)
    for i, ch in enumerate(name):
        entry = 64 + 32 * (i // 15)
        e[entry] = 0x41
        struct.pack_into('<H', e, entry + 2 + 2 * (i % 15), ord(ch))
    return bytes(e)


def cluster_offset(c):
    return FAT_BYTES + (c - 2) * SECTOR


def exfat_chain_seed(depth):
    out = bytearray()
    for level in range(depth):
        entry = exfat_set(0x10, 3 + level, SECTOR, 'd%d' % level)
        out += struct.pack('<IH', cluster_offset(2 + level), len(entry)) + entry
    leaf = exfat_set(0x20, 2 + depth + 1, 100, 'leaf.txt')
    out += struct.pack('<IH', cluster_offset(2 + depth), len(leaf)) + leaf
    return bytes(out)


def exfat_loop_seed():
    # The root holds two deleted folders; one chains through the FAT into a
    # cluster whose folder points back at the root and at its own parent.
    out = bytearray()
    root = exfat_set(0x10, 3, 0, 'a', flags=1) + exfat_set(0x10, 5, 2 * SECTOR, 'b')
    out += struct.pack('<IH', cluster_offset(2), len(root)) + root
    fat = struct.pack('<II', 4, 0xFFFFFFFF)
    out += struct.pack('<IH', 3 * 4, len(fat)) + fat
    inner = exfat_set(0x10, 2, SECTOR, 'up') + exfat_set(0x10, 3, 0, 'self', flags=1)
    out += struct.pack('<IH', cluster_offset(4), len(inner)) + inner
    return bytes(out)


def main():
    testdata, corpus = Path(sys.argv[1]), Path(sys.argv[2])
    for target in ('ntfs_search', 'ntfs_restore'):
        (corpus / target).mkdir(parents=True, exist_ok=True)
        for name in ('ntfs-special-512', 'ntfs-orphans'):
            (corpus / target / name).write_bytes(ntfs_seed(testdata / (name + '.img')))
    (corpus / 'exfat_tree').mkdir(parents=True, exist_ok=True)
    (corpus / 'exfat_tree' / 'chain-2000').write_bytes(exfat_chain_seed(2000))
    (corpus / 'exfat_tree' / 'loops').write_bytes(exfat_loop_seed())


if __name__ == '__main__':
    main()
