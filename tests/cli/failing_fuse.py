#!/usr/bin/python3
"""Serves one image file read-only through FUSE as MOUNT/card.img, failing
with EIO every read that touches one of the byte ranges FIRST-END (END one
past the last byte), as a card with bad sectors answers.

    failing_fuse.py IMAGE MOUNT FIRST-END...

Runs in the foreground until unmounted. direct_io passes every read through
as the program asked it, so no page cache hides a failure or widens it.
"""
import errno
import os
import stat
import sys

from fusepy import FUSE, FuseOSError, Operations


class FailingImage(Operations):
    def __init__(self, image, bad):
        self.fd = os.open(image, os.O_RDONLY)
        self.size = os.fstat(self.fd).st_size
        self.bad = bad

    def getattr(self, path, fh=None):
        if path == "/":
            return {"st_mode": stat.S_IFDIR | 0o555, "st_nlink": 2}
        if path == "/card.img":
            return {"st_mode": stat.S_IFREG | 0o444, "st_nlink": 1, "st_size": self.size}
        raise FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        return [".", "..", "card.img"]

    def open(self, path, flags):
        if path != "/card.img":
            raise FuseOSError(errno.ENOENT)
        return 0

    def read(self, path, size, offset, fh):
        end = min(offset + size, self.size)
        for first, last in self.bad:
            if first < end and offset < last:
                raise FuseOSError(errno.EIO)
        return os.pread(self.fd, end - offset, offset) if end > offset else b""


def main():
    image, mount = sys.argv[1], sys.argv[2]
    bad = [tuple(int(x) for x in r.split("-")) for r in sys.argv[3:]]
    FUSE(FailingImage(image, bad), mount, foreground=True, ro=True, direct_io=True, nothreads=True)


if __name__ == "__main__":
    main()
