"""Every changing operation of ffsimage against a model: random operation
sequences are applied to an image and to a dictionary of paths; each step
must succeed or fail (with the error number the model predicts) alike, and
the whole tree must match after every step, after every reopen and at the
end read-only, where the volume check must also hold."""
import errno
import random

import ffsimage
from ffsimage_support import MIB, NEW, OLD, TempDirTest, image_tree, main

NAMES = ['a', 'b', 'c', 'long_' + 'n' * 59]  # the last one is 64 bytes
ENOENT, EEXIST, ENOTDIR, EISDIR, EINVAL = (errno.ENOENT, errno.EEXIST, errno.ENOTDIR,
                                           errno.EISDIR, errno.EINVAL)


class Model(object):
    """The tree as the file system must show it: files as bytearrays, None
    for directories; the root is implicit."""

    def __init__(self):
        self.tree = {}

    def parent(self, path):
        return path.rsplit('/', 1)[0] or '/'

    def lookup_error(self, path):
        """The error of resolving the directories above path, or None."""
        parts = path.strip('/').split('/')[:-1]
        current = ''
        for part in parts:
            current += '/' + part
            if current not in self.tree:
                return ENOENT
            if self.tree[current] is not None:
                return ENOTDIR
        return None

    def kind(self, path):
        if path not in self.tree:
            return 'missing'
        return 'dir' if self.tree[path] is None else 'file'

    def children(self, path):
        prefix = path.rstrip('/') + '/'
        return [p for p in self.tree if p.startswith(prefix)]

    # Each operation answers the set of error numbers it may fail with
    # (empty: it succeeds) and changes the model when it succeeds.
    def write(self, path, data):
        e = self.lookup_error(path)
        if e:
            return {e}
        if self.kind(path) == 'dir':
            return {EISDIR}
        self.tree[path] = bytearray(data)
        return set()

    def append(self, path, data):
        old = self.tree.get(path) if self.kind(path) == 'file' else bytearray()
        errors = self.write(path, old + data)
        return errors

    def file_error(self, path):
        """The errors of opening an existing file, or None."""
        e = self.lookup_error(path)
        if e or self.kind(path) == 'missing':
            return {e or ENOENT}
        return {EISDIR} if self.kind(path) == 'dir' else None

    def patch(self, path, offset, data):
        if self.file_error(path):
            return self.file_error(path)
        content = self.tree[path]
        offset = min(offset, len(content))
        content[offset:offset + len(data)] = data
        return set()

    def truncate(self, path, length):
        if self.file_error(path):
            return self.file_error(path)
        content = self.tree[path]
        self.tree[path] = content[:length] + bytearray(max(0, length - len(content)))
        return set()

    def mkdir(self, path):
        e = self.lookup_error(path)
        if e:
            return {e}
        if path in self.tree:
            return {EEXIST}
        self.tree[path] = None
        return set()

    def remove(self, path):
        e = self.lookup_error(path)
        if e or path not in self.tree:
            return {e or ENOENT}
        if self.tree[path] is None:
            return {EISDIR}
        del self.tree[path]
        return set()

    def rmdir(self, path):
        e = self.lookup_error(path)
        if e or path not in self.tree:
            return {e or ENOENT}
        if self.tree[path] is not None:
            return {ENOTDIR}
        if self.children(path):
            return {EEXIST}
        del self.tree[path]
        return set()

    def rename(self, src, dst):
        e = self.lookup_error(src)
        if e or src not in self.tree:
            return {e or ENOENT}
        if src == dst:
            return set()
        inside = dst.startswith(src + '/')
        e = self.lookup_error(dst)
        if inside or e or dst in self.tree:
            return {x for x in (EINVAL if inside else None, e, EEXIST if dst in self.tree else None) if x}
        moved = [src] + self.children(src)
        for p in moved:
            self.tree[dst + p[len(src):]] = self.tree.pop(p)
        return set()


class ModelTest(TempDirTest):

    def random_path(self, rng, model):
        """Mostly a name in an existing directory; now and then anything."""
        dirs = ['/'] + [p for p, v in model.tree.items() if v is None]
        if model.tree and rng.random() < 0.4:
            return rng.choice(sorted(model.tree))
        base = rng.choice(sorted(dirs)) if rng.random() < 0.9 else '/zz/' + rng.choice(NAMES)
        return base.rstrip('/') + '/' + rng.choice(NAMES)

    def data(self, rng):
        return bytes(rng.getrandbits(8) for _ in range(rng.choice([0, 1, 100, 511, 512, 513, rng.randrange(3000)])))

    def step(self, rng, image, model):
        """One random operation on both; answers its description."""
        op = rng.choice(['write', 'write', 'append', 'patch', 'truncate', 'mkdir', 'mkdir',
                         'remove', 'rmdir', 'rename', 'rename', 'sync'])
        path = self.random_path(rng, model)
        if op == 'write':
            data = self.data(rng)
            args, expected = (path, len(data)), model.write(path, data)
            call = lambda: image.write_bytes(path, data)
        elif op == 'append':
            data = self.data(rng)
            args, expected = (path, len(data)), model.append(path, data)

            def call():
                with image.open(path, 'ab') as f:
                    f.write(data)
        elif op == 'patch':
            data, offset = self.data(rng)[:700], rng.randrange(2000)
            args, expected = (path, offset, len(data)), model.patch(path, offset, data)

            def call():
                with image.open(path, 'r+b') as f:
                    end = f.seek(0, 2)
                    f.seek(min(offset, end))
                    f.write(data)
        elif op == 'truncate':
            length = rng.randrange(1500)
            args, expected = (path, length), model.truncate(path, length)

            def call():
                with image.open(path, 'r+b') as f:
                    f.truncate(length)
        elif op == 'rename':
            target = self.random_path(rng, model)
            args, expected = (path, target), model.rename(path, target)
            call = lambda: image.rename(path, target)
        elif op == 'sync':
            args, expected, call = (), set(), image.sync
        else:
            args, expected = (path,), getattr(model, op)(path)
            call = lambda: getattr(image, op)(path)
        what = '%s%r' % (op, args)
        try:
            call()
            got = None
        except OSError as e:
            got = e.errno
        if expected:
            self.assertIn(got, expected, what)
        else:
            self.assertIsNone(got, what)
        return what

    def assertSame(self, image, model, history):
        want = {p: (bytes(v) if v is not None else None) for p, v in model.tree.items()}
        self.assertEqual(image_tree(image), want, history[-5:])

    def run_sequence(self, seed, flash_type, steps):
        rng = random.Random(seed)
        model = Model()
        image = self.create(size=MIB, flash_type=flash_type)
        history = []
        for i in range(steps):
            history.append(self.step(rng, image, model))
            self.assertSame(image, model, history)
            if rng.random() < 0.05:
                image.close()
                image = self.open(writable=True, flash_type=flash_type)
                history.append('reopen')
                self.assertSame(image, model, history)
        image.close()
        with self.open(flash_type=flash_type) as image:
            self.assertSame(image, model, history)
            self.assertEqual(image.check(), [])
        return history

    def test_random_sequences(self):
        for seed, flash_type in [(1, OLD), (2, NEW), (3, OLD)]:
            with self.subTest(seed=seed, flash_type=flash_type):
                try:
                    history = self.run_sequence(seed, flash_type, 150)
                    # The sequences reach the interesting outcomes, not only successes.
                    self.assertTrue(any(h.startswith('rename') for h in history))
                    self.assertIn('reopen', history)
                finally:
                    self.tearDown()
                    self.setUp()


if __name__ == '__main__':
    main()
