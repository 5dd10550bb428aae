#!/usr/bin/env python3
"""Camera cards on exFAT and NTFS after a quick format (tools/fixtures/
make_carving_cards.sh), carved as a user does it with the built program: a
full scan, then a restore of its content rows. Every photo and video comes
back byte for byte (SHA-256 against tests/data/photo-cards.sha256), nothing
else is written but the overwritten photo's surviving start, which its row
says is damaged from where the photo that overwrote it begins.

    carved_cards.py VELLUM_CLI IMAGES_DIR DATA_DIR
"""
import hashlib
import json
import os
import subprocess
import sys
import tempfile
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli"))
from checks import check, failures  # noqa: E402

cli, images, data = sys.argv[1], sys.argv[2], sys.argv[3]
# The overwritten copy (OVERWRITTEN.JPG) cannot come back: its first 24 KiB
# lie before the photo that took its later clusters.
OVERWRITTEN_START = 24576


def run(*args):
    return subprocess.run([cli, *args], capture_output=True, text=True)


def originals():
    by_digest = {}
    with open(os.path.join(data, "photo-cards.sha256"), encoding="utf-8") as f:
        for line in f:
            digest, name = line.split()
            by_digest[digest] = name
    return by_digest


def restored(folder):
    """(name of the original, or None, size) for every file written."""
    known = originals()
    out = []
    for d, _, files in os.walk(folder):
        for name in files:
            with open(os.path.join(d, name), "rb") as f:
                body = f.read()
            out.append((known.get(hashlib.sha256(body).hexdigest()), name, len(body)))
    return out


def carve(image, work):
    listing = os.path.join(work, "found.tsv")
    scan = run("full-scan", image, "--yes", "-o", listing)
    check(scan.returncode == 0, f"{image}: full-scan exits 0: {scan.stderr}")
    rows = [json.loads(line) for line in run("full-scan", image, "--yes", "--format", "json").stdout.splitlines()]
    content = [r for r in rows if r["kind"] == "content"]
    out = os.path.join(work, "out")
    numbers = ",".join(str(r["row"]) for r in content)
    r = run("restore", image, "--results", listing, "--rows", numbers, "--to", out)
    check(r.returncode == 0, f"{image}: restore exits 0: {r.stdout} {r.stderr}")
    return content, restored(out)


def main():
    expected = set(originals().values()) - {"OVERWRITTEN.JPG"}
    sizes = {}
    for image in ("photo-card-exfat.img", "photo-card-ntfs.img"):
        with tempfile.TemporaryDirectory() as work:
            content, files = carve(os.path.join(images, image), work)
        whole = {name for name, _, _ in files if name}
        check(whole == expected, f"{image}: byte-exact {sorted(whole)}, missing {sorted(expected - whole)}")
        check(len(whole) == len([f for f in files if f[0]]), f"{image}: each original once: {files}")
        other = [(name, size) for original, name, size in files if not original]
        check([size for _, size in other] == [OVERWRITTEN_START], f"{image}: nothing else but the cut photo: {other}")
        damaged = [r for r in content if r["check"].startswith("damaged")]
        check([(r["size"], r["damaged_from"]) for r in damaged] == [(OVERWRITTEN_START, OVERWRITTEN_START)],
              f"{image}: the cut photo is damaged from where it was cut: {damaged}")
        # Bytes written beyond the originals': the cut photo's start, and no more.
        written = sum(size for _, _, size in files)
        originals_bytes = sum(size for original, _, size in files if original)
        check(written - originals_bytes <= OVERWRITTEN_START,
              f"{image}: wrote {written} bytes for {originals_bytes} of originals")
        sizes[image] = (len(whole), written, originals_bytes)
    for image, (count, written, originals_bytes) in sizes.items():
        print(f"{image}: {count} of {len(expected)} byte-exact, {written} bytes written for {originals_bytes}")
    if failures:
        sys.exit(1)


main()
