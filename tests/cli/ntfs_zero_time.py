#!/usr/bin/env python3
"""An NTFS record whose last-written time is 0 records no time: the file and
the folder restored from it keep the time they were written, not a date of
1601 or 1901, on the walk and from a results file alike."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from checks import check, failures

cli, images = sys.argv[1], sys.argv[2]


def zero_written_time(image, number):
    """Clears the last-written time ($STANDARD_INFORMATION value offset 8) of record `number`."""
    with open(image, "r+b") as f:
        data = f.read()
        for at in range(0, len(data) - 1024, 1024):
            if data[at:at + 4] != b"FILE" or struct.unpack_from("<I", data, at + 44)[0] != number:
                continue
            attr = at + struct.unpack_from("<H", data, at + 20)[0]
            while struct.unpack_from("<I", data, attr)[0] not in (0x10, 0xFFFFFFFF):
                attr += struct.unpack_from("<I", data, attr + 4)[0]
            value = attr + struct.unpack_from("<H", data, attr + 20)[0]
            f.seek(value + 8)
            f.write(bytes(8))
            return True
    return False


work = tempfile.mkdtemp()
try:
    image = os.path.join(work, "ntfs.img")
    shutil.copyfile(os.path.join(images, "ntfs-512.img"), image)
    # deleted.txt (77) and the deleted folder old-project (87), as fls names them.
    check(zero_written_time(image, 77) and zero_written_time(image, 87), "records 77 and 87 found")
    started = time.time() - 5
    listing = os.path.join(work, "list.tsv")
    subprocess.run([cli, "search", image, "--no-free-scan", "-o", listing], capture_output=True)
    # The walk restores the deleted folder with its contents; the list every row.
    for how, extra, zeroed, timed in (
            ("walk", ["--folder", "87"], ["old-project"], os.path.join("old-project", "plan.txt")),
            ("list", ["--results", listing], ["deleted.txt", "old-project"], "Deleted-15c.txt")):
        out = os.path.join(work, "out-" + how)
        r = subprocess.run([cli, "restore", image, "--to", out, *extra], capture_output=True, text=True)
        check(r.returncode == 0, f"{how}: restore exits 0: {r.stdout}{r.stderr}")
        for path in zeroed:
            full = os.path.join(out, path)
            mtime = os.stat(full).st_mtime if os.path.exists(full) else 0
            check(mtime >= started, f"{how}: {path} keeps the time it was written, not {time.ctime(mtime)}")
        full = os.path.join(out, timed)
        kept = os.stat(full).st_mtime if os.path.exists(full) else started
        check(kept < started, f"{how}: {timed}, with its time, still gets it ({time.ctime(kept)})")
finally:
    shutil.rmtree(work)

if failures:
    print(len(failures), "failures")
    sys.exit(1)
print("ok")
