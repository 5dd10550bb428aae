#!/usr/bin/env python3
"""Quick-formatted cards from the command line: the plain FAT search that
finds nothing says what the thorough one reads; a restore of the whole list
of a free-cluster scan writes each photo once (at most 1.2 times the bytes
of the photos); a photo whose clusters the image no longer holds is named
"read as zeros", never "restored"; the NTFS full scan leaves out the
volume's own metadata files unless asked for files in use."""
import os
import shutil
import subprocess
import sys
import tempfile
from checks import check, failures

cli, images = sys.argv[1], sys.argv[2]
PHOTOS = sum(9000 + n * 2311 for n in range(1, 7))


def run(*args):
    return subprocess.run([cli, *args], capture_output=True, text=True)


def written(folder):
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(folder) for f in files)


work = tempfile.mkdtemp()
try:
    fat = os.path.join(images, "camera-fat32-formatted.img")
    plain = run("search", fat, "--no-free-scan")
    check(plain.returncode == 0, "plain search runs")
    check("--thorough を指定すると、空きクラスタの中のフォルダも読みます" in plain.stderr,
          "the FAT search that found nothing names --thorough: " + plain.stderr)
    thorough = run("search", fat, "--thorough", "--no-free-scan")
    check("空きクラスタの中のフォルダも読みます" not in thorough.stderr, "no hint once something was found")

    for image in ("camera-fat32-formatted.img", "camera-exfat-formatted.img"):
        path = os.path.join(images, image)
        for how in (["--free-scan"], ["--thorough", "--free-scan"], ["--thorough", "--no-free-scan"]):
            listing = os.path.join(work, "list.tsv")
            out = os.path.join(work, "out-" + image + "".join(how))
            r = run("search", path, *how, "-o", listing)
            check(r.returncode == 0, f"{image} {how}: search")
            r = run("restore", path, "--results", listing, "--to", out, *[h for h in how if h == "--thorough"])
            total = written(out)
            check(r.returncode == 0, f"{image} {how}: restore exits 0: {r.stderr}")
            check(total <= 1.2 * PHOTOS, f"{image} {how}: wrote {total} bytes for {PHOTOS}")
            check(total == PHOTOS, f"{image} {how}: every photo once ({total} for {PHOTOS})")

    # The card cut short after its folders: the photos' clusters are gone.
    listing = os.path.join(work, "cut.tsv")
    run("search", fat, "--thorough", "--no-free-scan", "-o", listing)
    cut = os.path.join(work, "cut.img")
    shutil.copyfile(fat, cut)
    info = dict(line.split("\t", 1) for line in run("info", fat).stdout.splitlines() if "\t" in line)
    first_data = int(info["firstDataSector"]) * int(info["bytesPerSector"])
    cluster = int(info["clusterBytes"])
    with open(cut, "r+b") as f:
        f.truncate(first_data + 3 * cluster)  # cluster 5 on is gone: DCIM and 100CAMERA (3 and 4) stay
    out = os.path.join(work, "out-cut")
    r = run("restore", cut, "--results", listing, "--to", out, "--report", os.path.join(work, "report.tsv"))
    check(r.returncode == 3, f"zeros only: exit 3, not 0 ({r.returncode})")
    said = r.stdout + r.stderr
    check("復元しました。" not in said, "zeros only: not headed restored: " + said)
    check("0 としか読めなかった" in said, "zeros only: named as such: " + said)
    with open(os.path.join(work, "report.tsv"), encoding="utf-8") as f:
        outcomes = [line.rstrip("\n").split("\t")[6] for line in f][1:]
    check(outcomes.count("read-as-zeros") == 6, f"report: six read as zeros: {outcomes}")

    ntfs = os.path.join(images, "ntfs-512.img")
    names = lambda r: [line.split("\t")[0] for line in r.stdout.splitlines()[2:]]
    full = run("full-scan", ntfs, "--yes", "--no-analyse", "--format", "results")
    check(not any(n.startswith("$") for n in names(full)), "full-scan: no metadata files: " + str(names(full)[:20]))
    used = run("full-scan", ntfs, "--yes", "--no-analyse", "--in-use", "--format", "results")
    check("$MFT" in names(used), "full-scan --in-use: $MFT listed")

    # The folder rows of a full scan are records read from clusters, without
    # a number to walk by: each is made with its time, its files by their rows.
    listing = os.path.join(work, "ntfs-full.tsv")
    run("full-scan", ntfs, "--yes", "--no-analyse", "-o", listing)
    out = os.path.join(work, "out-ntfs-full")
    r = run("restore", ntfs, "--results", listing, "--to", out)
    check(r.returncode == 0 and "未対応の行" not in r.stdout + r.stderr,
          f"ntfs full-scan list: folder rows restored ({r.returncode}): {r.stdout[-400:]}")
    photos = os.path.join(out, "old-project", "photos")
    check(sorted(os.listdir(photos)) == ["Sunset at the beach.jpg", "beach.jpg"]
          if os.path.isdir(photos) else False, "ntfs full-scan list: the deleted folder's files, once each")
    walked = os.path.join(work, "ntfs-walk.tsv")
    run("search", ntfs, "--no-free-scan", "-o", walked)
    out_walk = os.path.join(work, "out-ntfs-walk")
    run("restore", ntfs, "--results", walked, "--to", out_walk)
    for folder in ("old-project", os.path.join("old-project", "photos")):
        times = [os.stat(os.path.join(o, folder)).st_mtime_ns if os.path.isdir(os.path.join(o, folder)) else None
                 for o in (out, out_walk)]
        check(times[0] is not None and times[0] == times[1], f"ntfs full-scan list: {folder} keeps its time {times}")
finally:
    shutil.rmtree(work)

if failures:
    print(len(failures), "failures")
    sys.exit(1)
print("ok")
