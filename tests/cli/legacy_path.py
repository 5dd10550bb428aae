#!/usr/bin/env python3
"""The legacy path from the command line, as a user takes it: each FAT
partition of a whole disk searched, scanned, restored and completely deleted
through the disk BIOS (--bios-disk) gives the same list, the same restored
files and times, and the same written sectors as through the raw volume.
The disks: the stored MBR disk, and disks the test builds from single-volume
images, as primaries and as logical partitions of an extended chain. Then
the start-up check of the layer's two modules, each of its three messages."""
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile
from checks import check, failures

cli, images = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp()


def run(*args):
    return subprocess.run([cli, *args], capture_output=True, text=True)


def partition_type(volume):
    with open(volume, "rb") as f:
        boot = f.read(512)
    if boot[82:87] == b"FAT32":
        return 0x0C
    return 0x01 if boot[54:59] == b"FAT12" else 0x06


def entry(ptype, first, count):
    # CHS fields of an LBA-only entry: the geometry is left to the BIOS's default.
    return bytes([0, 0xFE, 0xFF, 0xFF, ptype, 0xFE, 0xFF, 0xFF]) + first.to_bytes(4, "little") + count.to_bytes(4, "little")


def table(entries):
    sector = bytearray(512)
    for i, e in enumerate(entries):
        sector[446 + 16 * i:462 + 16 * i] = e
    sector[510:512] = b"\x55\xaa"
    return bytes(sector)


def sectors(volume):
    return os.path.getsize(volume) // 512


def build_disk(path, volumes, logical):
    """Single-volume images wrapped in one MBR disk: primaries, or logical
    partitions (each behind its own extended boot record) in one extended one."""
    gap = 2048
    with open(path, "wb") as disk:
        def put(at, data):
            disk.seek(at * 512)
            disk.write(data)

        if not logical:
            at, entries = gap, []
            for v in volumes:
                entries.append(entry(partition_type(v), at, sectors(v)))
                with open(v, "rb") as f:
                    put(at, f.read())
                at += sectors(v) + gap
            put(0, table(entries))
            disk.truncate(at * 512)
            return
        ext_start = gap
        spans = [gap + sectors(v) for v in volumes]
        put(0, table([entry(0x05, ext_start, sum(spans))]))
        at = ext_start
        for i, v in enumerate(volumes):
            link = []
            if i + 1 < len(volumes):
                link = [entry(0x05, at + spans[i] - ext_start, spans[i + 1])]
            put(at, table([entry(partition_type(v), gap, sectors(v))] + link))
            with open(v, "rb") as f:
                put(at + gap, f.read())
            at += spans[i]
        disk.truncate(at * 512)


def same_tree(a, b):
    cmp = filecmp.dircmp(a, b)
    if cmp.left_only or cmp.right_only or cmp.diff_files or cmp.funny_files:
        return False
    for name in cmp.common_files:
        if os.stat(os.path.join(a, name)).st_mtime_ns != os.stat(os.path.join(b, name)).st_mtime_ns:
            return False
    return all(same_tree(os.path.join(a, d), os.path.join(b, d)) for d in cmp.common_dirs)


def files_in(tree):
    return sum(len(f) for _, _, f in os.walk(tree))


def compare(disk, partition, label):
    source = f"{disk}#{partition}"
    listing = ["search", source, "--free-scan", "--in-use", "--zero-size", "--format", "results"]
    raw = run(*listing)
    check(raw.returncode == 0 and raw.stdout.count("\n") > 1, f"{label}: the raw-volume search lists rows ({raw.stderr})")
    for unit in (disk, disk + ":16x63:chs"):
        bios = run(*listing, "--bios-disk", unit)
        check(bios.returncode == 0, f"{label} via {unit}: search exits 0 ({bios.stderr})")
        check(bios.stdout == raw.stdout, f"{label} via {unit}: the same list as the raw volume")
    list_path = os.path.join(work, "list.tsv")
    with open(list_path, "w") as f:
        f.write(raw.stdout)
    trees = []
    for how in ([], ["--bios-disk", disk]):
        tree = os.path.join(work, f"restored{len(trees)}")
        shutil.rmtree(tree, ignore_errors=True)
        done = run("restore", source, "--results", list_path, "--to", tree, *how)
        check(done.returncode in (0, 3), f"{label} {how}: restore runs ({done.stderr})")
        trees.append(tree)
    check(files_in(trees[0]) > 0, f"{label}: files restored")
    check(same_tree(*trees), f"{label}: the same files, bytes and times through the BIOS")


def wipe_both(disk, partitions, label):
    copies = [os.path.join(work, "raw.img"), os.path.join(work, "bios.img")]
    for c in copies:
        shutil.copyfile(disk, c)
    for p in partitions:
        for c, how in zip(copies, ([], ["--bios-disk", copies[1]])):
            done = run("wipe", f"{c}#{p}", "--yes", *how)
            check(done.returncode == 0, f"{label}#{p} {how}: wipe exits 0 ({done.stderr})")
    check(filecmp.cmp(*copies, shallow=False), f"{label}: complete deletion writes the same sectors")
    check(not filecmp.cmp(disk, copies[0], shallow=False), f"{label}: complete deletion wrote something")


def layer_messages():
    folder = os.path.join(work, "program")
    os.mkdir(folder)
    program = os.path.join(folder, "vellum-cli")
    shutil.copy(cli, program)
    built = os.path.dirname(os.path.realpath(cli))
    disk = os.path.join(images, "disk-mbr.img")
    cases = [([], "'Qiv16.dll'が見つかりません。"),
             (["Qiv32.dll"], "'Qiv16.dll'が見つかりません。"),
             (["Qiv16.dll"], "'Qiv32.dll'が見つかりません。"),
             (["Qiv16.dll", "junk:Qiv32.dll"], "'Qiv16.dll'または'Qiv32.dll'がロードできません。"),
             (["Qiv32.dll", "junk:Qiv16.dll"], "'Qiv16.dll'または'Qiv32.dll'がロードできません。")]
    for present, message in cases:
        for name in ("Qiv16.dll", "Qiv32.dll"):
            if os.path.exists(os.path.join(folder, name)):
                os.remove(os.path.join(folder, name))
        for p in present:
            if p.startswith("junk:"):
                with open(os.path.join(folder, p[5:]), "w") as f:
                    f.write("not a module\n")
            else:
                shutil.copy(os.path.join(built, p), folder)
        done = subprocess.run([program, "search", disk + "#1", "--bios-disk", disk], capture_output=True, text=True)
        check(done.returncode == 1 and message in done.stderr and done.stdout == "",
              f"with {present}: {message} and nothing listed ({done.returncode} {done.stderr!r})")
    # Without --bios-disk the layer is neither looked for nor needed.
    done = subprocess.run([program, "search", disk + "#1", "--no-free-scan"], capture_output=True, text=True)
    check(done.returncode == 0, "the raw-volume path needs no layer")
    done = run("search", disk + "#1", "--bios-disk", os.path.join(work, "missing.img"))
    check(done.returncode == 1 and "missing.img" in done.stderr, "a unit that is not there is named")


def removable_units():
    """Units that are not hard disks to the BIOS: the drive is read through
    the unit's sector 0 (a partitioned disk by its first FAT partition), an
    NTFS volume there is refused, and a floppy drive (fd0) is FAT12 through
    its diskette unit."""
    disk = os.path.join(images, "disk-mbr.img")
    listing = ["--no-free-scan", "--format", "results"]
    raw = run("search", disk + "#1", *listing)
    bios = run("search", disk + "#1", *listing, "--bios-disk", disk + ":16x32")
    check(bios.returncode == 0 and bios.stdout == raw.stdout and raw.stdout.count("\n") > 1,
          f"disk-mbr#1 on a removable unit: the FAT16 partition of its table ({bios.stderr})")
    ntfs = os.path.join(images, "ntfs-512.img")
    refused = run("search", ntfs, *listing, "--bios-disk", ntfs + ":16x32")
    check(refused.returncode == 1 and "FAT12、FAT16、FAT32、exFAT、NTFS 以外のドライブは検索できません。" in refused.stderr
          and refused.stdout == "", f"NTFS on a removable unit is refused ({refused.stderr})")
    floppy = os.path.join(work, "fd0")
    os.symlink(os.path.join(images, "fat12.img"), floppy)
    raw = run("search", floppy, *listing)
    bios = run("search", floppy, *listing, "--bios-disk", floppy + ":fd")
    check(bios.returncode == 0 and bios.stdout == raw.stdout and "fd0:/" in raw.stdout,
          f"fd0 through diskette unit 0 ({bios.stderr})")
    lost = run("search", floppy, *listing, "--bios-disk", disk)
    check(lost.returncode == 1 and "「Int 13 ﾕﾆｯﾄ」" in lost.stderr, f"fd0 without a diskette unit ({lost.stderr})")
    os.remove(floppy)


try:
    removable_units()
    stored = os.path.join(images, "disk-mbr.img")
    for p in (1, 2):
        compare(stored, p, f"disk-mbr#{p}")
    wipe_both(stored, (1, 2), "disk-mbr")
    volumes = [os.path.join(images, n) for n in ("fat12.img", "fat16-cp932.img", "fat32-512.img")]
    for logical in (False, True):
        disk = os.path.join(work, "logical.img" if logical else "primary.img")
        build_disk(disk, volumes, logical)
        for p in (1, 2, 3):
            compare(disk, p, f"{os.path.basename(disk)}#{p}")
        wipe_both(disk, (1, 2, 3), os.path.basename(disk))
        os.remove(disk)
    # A single volume wrapped by sfdisk, as a user makes a disk: the table's
    # CHS fields come from 255 x 63 and its one partition ends in mid-track.
    disk = os.path.join(work, "sfdisk.img")
    build_disk(disk, volumes[1:2], False)
    layout = f"2048,{sectors(volumes[1])},{partition_type(volumes[1]):x}\n"
    subprocess.run(["sfdisk", "-q", "--no-reread", disk], input=layout, text=True, check=True, capture_output=True)
    compare(disk, 1, "sfdisk.img#1")
    layer_messages()
finally:
    shutil.rmtree(work, ignore_errors=True)

print(f"{len(failures)} failure(s)")
sys.exit(1 if failures else 0)
