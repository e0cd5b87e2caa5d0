#!/usr/bin/env python3
# KVR516_UPDATE, GPL-3.0-or-later.
"""A file whose opening waits until the test lets it: a program that opens it
stays there, in the middle of what it was doing, for as long as the test needs.

Usage: held_file.py MOUNT NAME SIZE [--hold-all]

Serves one read-only file, MOUNT/NAME, of SIZE bytes (the update file's tag
KVR700X2, then zeros) on a file system of its own (FUSE), in the foreground
until MOUNT is unmounted. Each open writes "opened" on standard output and
waits for a line on standard input (or its end); from then on every open
goes through at once. With --hold-all, a look-up of any other name writes
"held NAME" and waits the same way: a file system that never answers.
"""
import errno
import stat
import sys
import threading

from fusepy import FUSE, FuseOSError, Operations

TAG = b"KVR700X2"


class HeldFile(Operations):
    def __init__(self, name, size, hold_all):
        self.path = "/" + name
        self.size = size
        self.hold_all = hold_all
        self.released = threading.Event()

    def getattr(self, path, fh=None):
        if path == "/":
            return {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2}
        if path == self.path:
            return {"st_mode": stat.S_IFREG | 0o444, "st_nlink": 1, "st_size": self.size}
        if self.hold_all:
            print("held", path, flush=True)
            self.released.wait()
        raise FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        return [".", "..", self.path[1:]]

    def open(self, path, flags):
        print("opened", flush=True)
        self.released.wait()
        return 0

    def read(self, path, size, offset, fh):
        end = min(offset + size, self.size)
        if offset >= end:
            return b""
        head = TAG[offset:end]
        return head + bytes(end - offset - len(head))


def main():
    mount, name, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
    held = HeldFile(name, size, sys.argv[4:] == ["--hold-all"])

    def release():
        sys.stdin.readline()
        held.released.set()

    threading.Thread(target=release, daemon=True).start()
    FUSE(held, mount, foreground=True, ro=True)


if __name__ == "__main__":
    main()
