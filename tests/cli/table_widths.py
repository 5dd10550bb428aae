#!/usr/bin/env python3
"""The table a person reads at a terminal of 80 and of 120 columns, on a
pseudo-terminal of that size: every line fits, every name shorter than 40
characters is shown whole with its size, time and state beside it, sizes
stand right-aligned, and at 120 columns the folders are shown too."""
import fcntl
import json
import os
import pty
import struct
import subprocess
import sys
import termios
import unicodedata
from checks import check, failures

cli, images = sys.argv[1], sys.argv[2]


def width(text):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def on_terminal(argv, columns):
    pid, fd = pty.fork()
    if pid == 0:
        fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 50, columns, 0, 0))
        os.environ.pop("COLUMNS", None)
        os.execv(argv[0], argv)
    said = b""
    while True:
        try:
            chunk = os.read(fd, 4096)
        except OSError:
            break
        if not chunk:
            break
        said += chunk
    os.waitpid(pid, 0)
    return said.decode("utf-8", "replace").replace("\r\n", "\n").splitlines()


cases = [("camera-fat32-formatted.img", ["--free-scan"]), ("ntfs-512.img", ["--no-free-scan"]),
         ("fat16-cp932.img", ["--no-free-scan"])]
for image, extra in cases:
    path = os.path.join(images, image)
    rows = [json.loads(line) for line in
            subprocess.run([cli, "search", path, *extra, "--format", "json"], capture_output=True).stdout.splitlines()]
    check(rows, image + ": rows to show")
    for columns in (80, 120):
        lines = [line for line in on_terminal([cli, "search", path, *extra], columns) if not line.startswith("vellum-cli:")]
        table = [line for line in lines if line[:1] in " 0123456789#"]
        what = f"{image} at {columns}"
        check(all(width(line) <= columns for line in lines), what + ": every line fits")
        heading = next((line for line in table if line.lstrip().startswith("#")), "")
        for column in ("名前", "サイズ", "更新日時"):
            check(column in heading, f"{what}: the heading shows {column}: {heading!r}")
        for r in rows:
            shown = r["name"] + ("/" if r["is_dir"] else "")
            mine = next((line for line in table if line.split(" ", 1)[0].strip() == str(r["row"])
                         or line.lstrip().startswith(str(r["row"]) + " ")), "")
            if width(shown) < 40:
                check(f" {shown} " in mine + " ", f"{what}: row {r['row']} shows {shown!r} whole: {mine!r}")
            if r["mtime"]:
                check(r["mtime"][:10].replace("-", "/") in mine, f"{what}: row {r['row']} shows its time")
            if r["size"] is not None and not r["is_dir"]:
                check("B" in mine, f"{what}: row {r['row']} shows its size")
        # Sizes end in one column: right-aligned.
        ends = {width(line[:line.find("B ") + 1]) for line in table[1:] if "B " in line}
        check(len(ends) <= 1, f"{what}: sizes right-aligned ({sorted(ends)})")
        if columns == 120 and image == "ntfs-512.img":
            check(any(" /old-project/photos " in line for line in table), what + ": folders shown whole")

if failures:
    print(len(failures), "failures")
    sys.exit(1)
print("ok")
