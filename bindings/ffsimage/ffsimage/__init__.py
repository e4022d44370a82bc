"""Create, read and change relay flash images from Python.

An image is the byte copy of a relay's NOR flash holding the relay's flash
file system; ``vorel`` converts between such images and directory trees. This
module runs the same file system in the interpreter's process:

    import ffsimage
    with ffsimage.create('relay.img', 4 * 1024 * 1024, 'MX29LV640B') as img:
        img.makedirs('/config')
        img.write_bytes('/config/net.cfg', b'ip=10.0.0.2\\n')
        img.copy_in('tree', '/')          # as "vorel -dir:ptf" copies a tree
    with ffsimage.open('relay.img', 'MX29LV640B') as img:   # read-only
        print(img.listdir('/'), img.read_bytes('/config/net.cfg'))
        assert img.check() == []

Flash types: 'MX29LV640B' (64 KiB sectors) and 'M29W256G' (128 KiB sectors).
``create`` formats a new image (the same bytes ``vorel -dir:ptf`` writes for
the same tree); ``open`` mounts an existing one, read-only unless
``writable=True``: a read-only image is mapped privately, so its file is never
changed. Leaving a ``with`` block closes the image: open files are closed and
the volume is unmounted with its final commit.

Paths inside an image start at its root ('/a/b' and 'a/b' are the same);
'.' and '..' never lead out of the image. Names are at most 64 bytes of
UTF-8 and hold no '/' or '*'. Paths may be str or bytes; names come back as
str (undecodable bytes as surrogate escapes, like os.listdir).

Errors are OSError with the file system's error number mapped to errno
(FileNotFoundError, FileExistsError, IsADirectoryError, NotADirectoryError,
errno.ENOSPC for a full volume, errno.EROFS for a read-only image, ...) and
the path in ``filename``; bad arguments raise TypeError or ValueError; any
use of a closed image or file raises ValueError.

Threads: every call releases the GIL while the file system works. Calls on
one Image from several threads are serialised by the image's own lock. Each
Image has a file system of its own: any number of images can be open at
once, in one thread or in several.
"""
import collections
import errno as _errno
import io
import os

from . import _ffsimage

__all__ = ['create', 'open', 'Image', 'File', 'Stat', 'DirEntry', 'FLASH_TYPES']

FLASH_TYPES = ('MX29LV640B', 'M29W256G')

_open_builtin = open

Stat = collections.namedtuple('Stat', 'size mode serial links kind')
Stat.__doc__ = """What stat() tells of an entry: size in bytes, mode (permission bits,
plus 0o40000 for a directory), serial number, link count and kind ('dir' or
'file')."""


def _encode(path, what='path'):
    """A path or name as the bytes the image stores."""
    try:
        path = os.fspath(path)
    except TypeError:
        raise TypeError('%s must be str, bytes or os.PathLike, not %s' % (what, type(path).__name__))
    if isinstance(path, str):
        return path.encode('utf-8', 'surrogateescape')
    return bytes(path)


def _host(path, what='host path'):
    """A host path as bytes (the module's C++ half takes bytes)."""
    try:
        return os.fsencode(os.fspath(path))
    except TypeError:
        raise TypeError('%s must be str, bytes or os.PathLike, not %s' % (what, type(path).__name__))


def _decode(name):
    return name.decode('utf-8', 'surrogateescape')


def _text(value, what):
    if not isinstance(value, str):
        raise TypeError('%s must be str, not %s' % (what, type(value).__name__))
    return value


def _stat(raw):
    size, mode, serial, links, is_dir, _mtime = raw
    return Stat(size, mode, serial, links, 'dir' if is_dir else 'file')


def create(path, size, flash_type):
    """create(path, size, flash_type) -> Image

    Formats a new image file of `size` bytes for `flash_type` and mounts it
    writable. The file appears (replacing any file of that name) only once
    the volume is formatted and mounted. `size` must hold at least four
    sectors and stay below 4 GiB."""
    if not isinstance(size, int) or isinstance(size, bool):
        raise TypeError('size must be int, not %s' % type(size).__name__)
    if size < 0 or size > 0xFFFFFFFF:
        raise ValueError('size must be between 0 and 4 GiB, not %d' % size)
    return Image(_ffsimage.create(_host(path), size, _text(flash_type, 'flash_type')))


def open(path, flash_type, writable=False):  # noqa: A001 - the module's own open
    """open(path, flash_type, writable=False) -> Image

    Mounts an existing image. Read-only (the default) maps the file
    privately: whatever mount repairs stays in memory and the file is never
    changed; every change raises OSError(errno.EROFS). writable=True maps it
    shared: changes reach the file at each sync and when the image is closed."""
    return Image(_ffsimage.open(_host(path), _text(flash_type, 'flash_type'), bool(writable)))


class DirEntry(object):
    """One entry of Image.scandir(): name, path, is_dir(), is_file(), stat()."""
    __slots__ = ('name', 'path', '_stat')

    def __init__(self, name, path, stat):
        self.name = name
        self.path = path
        self._stat = stat

    def is_dir(self):
        return self._stat.kind == 'dir'

    def is_file(self):
        return self._stat.kind == 'file'

    def stat(self):
        return self._stat

    def __repr__(self):
        return '<DirEntry %r>' % self.name


def _join(top, name):
    return top.rstrip('/') + '/' + name if top not in ('', '/') else '/' + name


class Image(object):
    """A mounted flash image (from create() or open()); a context manager.

    Calls on one image are serialised by its own lock, so threads may share
    it; each call releases the GIL while the file system works."""

    def __init__(self, native):
        self._native = native

    # --- state ---------------------------------------------------------
    @property
    def closed(self):
        """True once close() was called."""
        return self._native.closed

    @property
    def writable(self):
        """False for an image opened read-only."""
        return self._native.writable

    @property
    def path(self):
        """The image file (absolute)."""
        return self._native.path

    @property
    def flash_type(self):
        """'MX29LV640B' or 'M29W256G'."""
        return self._native.flash_type

    def __enter__(self):
        if self.closed:
            raise ValueError('I/O operation on a closed image')
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def __repr__(self):
        state = 'closed' if self.closed else ('writable' if self.writable else 'read-only')
        return '<ffsimage.Image %r %s %s>' % (self.path, self.flash_type, state)

    def close(self):
        """Closes open files, unmounts with the final commit and unmaps. A
        failed final commit raises OSError; closing again does nothing."""
        self._native.close()

    def sync(self):
        """Commits every change so far (a checkpoint on flash)."""
        self._native.sync()

    # --- names ---------------------------------------------------------
    def listdir(self, path='/'):
        """The names in a directory, newest first."""
        return [_decode(n) for n in self._native.listdir(_encode(path))]

    def scandir(self, path='/'):
        """DirEntry objects of a directory, newest first."""
        top = _decode(_encode(path))
        return [DirEntry(_decode(n), _join(top, _decode(n)), _stat(s))
                for n, s in self._native.scandir(_encode(path))]

    def walk(self, top='/'):
        """Like os.walk (top-down): (dirpath, dirnames, filenames) per directory.
        Changing dirnames in place prunes the walk."""
        entries = self.scandir(top)
        dirs = [e.name for e in entries if e.is_dir()]
        files = [e.name for e in entries if not e.is_dir()]
        top = _decode(_encode(top))
        yield top, dirs, files
        for name in dirs:
            for step in self.walk(_join(top, name)):
                yield step

    def stat(self, path):
        """Stat(size, mode, serial, links, kind) of an entry."""
        return _stat(self._native.stat(_encode(path)))

    def exists(self, path):
        """True when the path names an entry."""
        return self._native.exists(_encode(path))

    def is_dir(self, path):
        """True when the path names a directory."""
        try:
            return self.stat(path).kind == 'dir'
        except (FileNotFoundError, NotADirectoryError):
            return False

    def is_file(self, path):
        """True when the path names a file."""
        try:
            return self.stat(path).kind == 'file'
        except (FileNotFoundError, NotADirectoryError):
            return False

    # --- changes -------------------------------------------------------
    def mkdir(self, path):
        """Makes one directory; FileExistsError when the name is taken."""
        self._native.mkdir(_encode(path))

    def makedirs(self, path, exist_ok=False):
        """Makes a directory and every missing parent; with exist_ok an
        existing directory is accepted (an existing file never is)."""
        parts = []
        for part in _encode(path).split(b'/'):
            if part == b'..':
                parts = parts[:-1]
            elif part not in (b'', b'.'):
                parts.append(part)
        for i in range(len(parts)):
            current = b'/' + b'/'.join(parts[:i + 1])
            try:
                self._native.mkdir(current)
            except FileExistsError:
                last = i == len(parts) - 1
                if last and (not exist_ok or not self._native.stat(current)[4]):
                    raise

    def remove(self, path):
        """Removes a file."""
        self._native.remove(_encode(path))

    unlink = remove

    def rmdir(self, path):
        """Removes an empty directory."""
        self._native.rmdir(_encode(path))

    def rename(self, src, dst):
        """Renames or moves an entry inside the image."""
        self._native.rename(_encode(src), _encode(dst))

    def read_bytes(self, path):
        """The whole content of a file."""
        return self._native.read_bytes(_encode(path))

    def write_bytes(self, path, data):
        """Creates or replaces a file with `data` (a bytes-like object)."""
        return self._native.write_bytes(_encode(path), bytes(memoryview(data)))

    # --- the volume ----------------------------------------------------
    def check(self):
        """The volume check ('ffsinspect check'): one text per violated
        invariant, [] when the volume is sound. Syncs a writable image first."""
        return [_decode(line) for line in self._native.check()]

    def info(self):
        """Geometry, checkpoint, tree, cluster and free-space facts as
        'ffsinspect stat' shows them, as a dict."""
        facts = dict(self._native.info())
        facts['checkpoint_clean'] = bool(facts['checkpoint_clean'])
        facts.setdefault('checkpoint_area_cursor', None)
        facts['flash_type'] = self.flash_type
        return facts

    def copy_in(self, host_dir, image_dir='/'):
        """Copies a host tree into the image as 'vorel -dir:ptf' does: regular
        files (and links to them) and sub-directories whose names hold no '.',
        in name order; an existing file in the image fails the copy. Returns
        the lines of entries left out (links to directories, special files,
        dotted directory names, names holding a backslash). A failure raises
        OSError naming the file and the reason; what was copied before stays."""
        return [_decode(line) for line in self._native.copy_in(_host(host_dir), _encode(image_dir))]

    def copy_out(self, image_dir, host_dir):
        """Copies an image directory's tree into a host directory (made when
        missing) as 'vorel -dir:ftp' does: never outside host_dir, never
        through a link; unsafe names in the image fail the copy after
        everything else was copied."""
        return [_decode(line) for line in self._native.copy_out(_encode(image_dir), _host(host_dir))]

    # --- files ---------------------------------------------------------
    def open(self, path, mode='rb'):
        """A binary file object (io.RawIOBase): modes 'rb', 'wb', 'ab', 'xb'
        and with '+' ('r+b', ...). At most ten files are open at once in the
        process."""
        return File(self, path, mode)


_MODE_FLAGS = {'r': 0, 'w': 1 | 8 | 32, 'a': 1 | 4 | 8, 'x': 1 | 8 | 16}


class File(io.RawIOBase):
    """An open file of an image (from Image.open)."""

    def __init__(self, image, path, mode='rb'):
        super().__init__()
        self._handle = None
        if not isinstance(mode, str):
            raise TypeError('mode must be str, not %s' % type(mode).__name__)
        kinds = [c for c in mode if c in 'rwax']
        if (len(kinds) != 1 or 'b' not in mode or len(set(mode)) != len(mode)
                or any(c not in 'rwaxb+' for c in mode)):
            raise ValueError("invalid mode %r: one of r, w, a, x, with 'b' and optionally '+'" % mode)
        flags = _MODE_FLAGS[kinds[0]]
        if '+' in mode:
            flags = (flags & ~1) | 2
        self._image = image
        self._native = image._native
        self._readable = kinds[0] == 'r' or '+' in mode
        self._writable = kinds[0] != 'r' or '+' in mode
        self.name = _decode(_encode(path))
        self.mode = mode
        self._handle = self._native.open_file(_encode(path), flags)

    def _live(self):
        if self.closed:
            raise ValueError('I/O operation on closed file.')

    def readable(self):
        self._live()
        return self._readable

    def writable(self):
        self._live()
        return self._writable

    def seekable(self):
        self._live()
        return True

    def _reading(self):
        self._live()
        if not self._readable:
            raise io.UnsupportedOperation('File not open for reading')

    def _writing(self):
        self._live()
        if not self._writable:
            raise io.UnsupportedOperation('File not open for writing')

    def read(self, size=-1):
        self._reading()
        if size is None:
            size = -1
        return self._native.read(self._handle, int(size))

    def readall(self):
        return self.read(-1)

    def readinto(self, buffer):
        self._reading()
        view = memoryview(buffer).cast('B')
        data = self._native.read(self._handle, len(view))
        view[:len(data)] = data
        return len(data)

    def write(self, data):
        self._writing()
        return self._native.write(self._handle, memoryview(data).cast('B'))

    def seek(self, offset, whence=io.SEEK_SET):
        self._live()
        if whence not in (0, 1, 2):
            raise ValueError('whence must be 0, 1 or 2, not %r' % (whence,))
        return self._native.seek(self._handle, offset, whence)

    def tell(self):
        self._live()
        return self._native.tell(self._handle)

    def truncate(self, size=None):
        self._writing()
        if size is None:
            size = self.tell()
        if size < 0:
            raise ValueError('negative size %d' % size)
        self._native.truncate(self._handle, size)
        return size

    @property
    def closed(self):
        return (self._handle is None or super().closed
                or not self._native.handle_open(self._handle))

    def close(self):
        if self._handle is not None and not super().closed:
            try:
                self._native.close_file(self._handle)
            finally:
                super().close()

    def __repr__(self):
        return '<ffsimage.File %r mode=%r>' % (self.name, self.mode)
