#!/usr/bin/python3
# A frozen network mount: listing and stat answer, a read of NAME never returns, NAME=SOURCE serves
# SOURCE's bytes. Usage: hung_fs.py MOUNT_POINT NAME[=SOURCE]...   (in the foreground until unmounted)
import errno, os, stat, sys, threading
from fusepy import FUSE, FuseOSError, Operations


class HungFiles(Operations):
    def __init__(self, args):
        self.files = dict((arg.split('=') + [None])[:2] for arg in args)
    def getattr(self, path, fh=None):
        if path == '/':
            return dict(st_mode=stat.S_IFDIR | 0o755, st_nlink=2)
        if path[1:] not in self.files:
            raise FuseOSError(errno.ENOENT)
        source = self.files[path[1:]]
        return dict(st_mode=stat.S_IFREG | 0o644, st_nlink=1, st_size=os.path.getsize(source) if source else 30000,
                    st_mtime=1.7e9)
    def readdir(self, path, fh):
        return ['.', '..'] + list(self.files)
    def statfs(self, path):  # the chooser lists only volumes that answer
        return dict(f_bsize=4096, f_frsize=4096, f_blocks=1024, f_namemax=255)
    def read(self, path, size, offset, fh):
        if not self.files[path[1:]]:
            threading.Event().wait()  # for ever
        with open(self.files[path[1:]], 'rb') as f:
            f.seek(offset)
            return f.read(size)


FUSE(HungFiles(sys.argv[2:]), sys.argv[1], foreground=True, ro=True)
