"""ffsimage: images the same as vorel's, read-only opens that never change
the file, file objects with io semantics, errors of the OSError family,
closing, a full volume, threads, and the help texts and type stubs."""
import errno
import io
import os
import shutil
import sys
import threading

import ffsimage
from ffsimage_support import MIB, NEW, OLD, TempDirTest, host_tree, image_tree, main, make_tree, run

VOREL = os.environ.get('VOREL')


def read_file(path):
    with open(path, 'rb') as f:
        return f.read()
FFSINSPECT = os.environ.get('FFSINSPECT')


class SameBytesAsVorel(TempDirTest):

    def test_create_and_copy_in_gives_vorels_image(self):
        for seed, flash_type, size in [(1, OLD, MIB), (2, NEW, 2 * MIB), (3, OLD, 4 * MIB)]:
            with self.subTest(seed=seed, flash_type=flash_type):
                tree = make_tree(self.path('tree%d' % seed), seed)
                ours, theirs = self.path('ours%d.img' % seed), self.path('vorel%d.img' % seed)
                with ffsimage.create(ours, size, flash_type) as image:
                    skipped = image.copy_in(tree)
                status, out, _ = run([VOREL, '-dir:ptf', '-src:' + tree, '-dst:' + theirs,
                                      '-size:%d' % size, '-flashType:' + flash_type])
                self.assertEqual(status, 0, out)
                self.assertTrue(read_file(ours) == read_file(theirs), 'image bytes differ from vorel\'s')
                # vorel prints the same lines of what it left out.
                for line in skipped:
                    self.assertIn(line, out)
                self.assertEqual(len(skipped), 2, skipped)
                status, out, _ = run([FFSINSPECT, ours, '-flashType:' + flash_type, 'check'])
                self.assertEqual(status, 0, out)

    def test_copy_out_round_trip_and_info_as_ffsinspect_tells(self):
        tree = make_tree(self.path('tree'), 7)
        with self.create(size=2 * MIB) as image:
            image.copy_in(tree)
            image.makedirs('/x/y/z')
            image.write_bytes('/x/y/z/deep', b'deep')
        with self.open() as image:
            self.assertEqual(image.copy_out('/', self.path('out')), [])
            info = image.info()
        want = host_tree(tree)
        del want['skip.me'], want['link_to_dir']
        want.update({'x': None, 'x/y': None, 'x/y/z': None, 'x/y/z/deep': b'deep'})
        self.assertEqual(host_tree(self.path('out')), want)
        status, out, _ = run([FFSINSPECT, self.path('x.img'), '-flashType:' + OLD, 'stat'])
        self.assertEqual(status, 0, out)
        self.assertIn('%d sectors of %d bytes' % (info['sector_count'], info['sector_size']), out)
        self.assertIn('%d file(s), %d bytes in files' % (info['files'], info['bytes_in_files']), out)
        self.assertIn('%d used, %d free, %d dirty' % (info['used_clusters'], info['free_clusters'],
                                                      info['dirty_clusters']), out)
        self.assertIn('%d free bytes' % info['stats_free_bytes'], out)
        self.assertTrue(info['checkpoint_clean'])


    def test_copy_out_never_writes_outside_the_host_directory(self):
        with self.create() as image:
            image.write_bytes('/ok', b'1')
            image.write_bytes('/..\\evil', b'2')  # a path on Windows hosts
            image.mkdir('/sub')
            image.write_bytes('/sub/in', b'3')
        with self.open() as image:
            with self.assertRaises(OSError) as caught:
                image.copy_out('/', self.path('out'))
            self.assertIn('Unsafe name in image skipped', str(caught.exception))
        self.assertEqual(host_tree(self.path('out')), {'ok': b'1', 'sub': None, 'sub/in': b'3'})
        self.assertEqual(sorted(os.listdir(self.dir)), ['out', 'x.img'])


class ReadOnly(TempDirTest):

    def test_read_only_open_never_changes_the_file(self):
        with self.create() as image:
            image.write_bytes('/f', b'data')
            image.mkdir('/d')
        before = read_file(self.path('x.img'))
        mtime = os.stat(self.path('x.img')).st_mtime_ns
        os.chmod(self.path('x.img'), 0o444)
        with self.open() as image:
            self.assertFalse(image.writable)
            changes = [lambda: image.write_bytes('/g', b''), lambda: image.mkdir('/e'),
                       lambda: image.remove('/f'), lambda: image.rmdir('/d'),
                       lambda: image.rename('/f', '/h'), lambda: image.open('/f', 'r+b'),
                       lambda: image.open('/f', 'ab'), lambda: image.copy_in(self.dir)]
            for change in changes:
                with self.assertRaises(OSError) as caught:
                    change()
                self.assertEqual(caught.exception.errno, errno.EROFS)
            self.assertEqual(image.read_bytes('/f'), b'data')
            self.assertEqual(image.check(), [])
        self.assertEqual(read_file(self.path('x.img')), before)
        self.assertEqual(os.stat(self.path('x.img')).st_mtime_ns, mtime)
        if os.geteuid() != 0:  # root writes any file
            with self.assertRaises(PermissionError):
                self.open(writable=True)


class Files(TempDirTest):

    def test_file_objects_behave_as_raw_io(self):
        payload = bytes(range(256)) * 40
        with self.create() as image:
            with image.open('/f', 'wb') as f:
                self.assertIsInstance(f, io.RawIOBase)
                shutil.copyfileobj(io.BytesIO(payload), f)
                self.assertEqual(f.tell(), len(payload))
                self.assertRaises(io.UnsupportedOperation, f.read)
            with image.open('/f', 'rb') as f:
                out = io.BytesIO()
                shutil.copyfileobj(f, out, 1000)
                self.assertEqual(out.getvalue(), payload)
                self.assertEqual(f.seek(-10, io.SEEK_END), len(payload) - 10)
                buf = bytearray(20)
                self.assertEqual(f.readinto(buf), 10)
                self.assertEqual(bytes(buf[:10]), payload[-10:])
                self.assertEqual(f.read(), b'')
                self.assertRaises(io.UnsupportedOperation, f.write, b'x')
            with image.open('/f', 'r+b') as f:
                f.seek(5)
                f.write(b'XY')
                self.assertEqual(f.truncate(), 7)
                f.seek(0)
                self.assertEqual(f.read(), payload[:5] + b'XY')
            with image.open('/f', 'ab') as f:
                f.write(b'end')
            self.assertEqual(image.read_bytes('/f'), payload[:5] + b'XYend')
            with io.BufferedReader(image.open('/f', 'rb')) as f:
                self.assertEqual(f.read(3), payload[:3])
            with self.assertRaises(FileExistsError):
                image.open('/f', 'xb')
            with image.open('/g', 'xb') as f:
                f.write(memoryview(b'abc'))
            self.assertEqual(image.read_bytes('/g'), b'abc')
            f = image.open('/g', 'rb')
            f.close()
            self.assertTrue(f.closed)
            self.assertRaises(ValueError, f.read)
            for mode in ['r', 'rt', 'w', 'rbb', 'rwb', 'qb', 'b', '']:
                with self.assertRaises(ValueError, msg=mode):
                    image.open('/f', mode)
            image.mkdir('/d')
            with self.assertRaises(IsADirectoryError):
                image.open('/d', 'rb')

    def test_leaving_the_block_commits_and_closes_everything(self):
        image = self.create()
        with image:
            f = image.open('/f', 'wb')
            f.write(b'kept')  # never closed by the script
        self.assertTrue(image.closed and f.closed)
        self.assertRaises(ValueError, image.listdir, '/')
        self.assertRaises(ValueError, f.write, b'x')
        image.close()  # again: nothing
        with self.open() as image:
            self.assertEqual(image.read_bytes('/f'), b'kept')

    def test_path_forms_stay_inside_the_image(self):
        with self.create() as image:
            image.makedirs('a/b', exist_ok=True)
            image.makedirs('/a/b', exist_ok=True)
            with self.assertRaises(FileExistsError):
                image.makedirs('/a/b')
            image.write_bytes(b'/a/b/f', b'1')
            for path in ['a/b/f', '/a/./b//f', '/../../a/b/f', '/a/b/../b/f', b'a/b/f']:
                self.assertEqual(image.read_bytes(path), b'1', path)
            self.assertEqual(image.listdir('/..'), ['a'])
            self.assertTrue(image.is_dir('/a') and image.is_file('/a/b/f') and image.exists('a'))
            self.assertFalse(image.is_dir('/a/b/f') or image.is_file('/nope') or image.exists('/nope'))
            image.write_bytes('/a/b/f', b'2')
            with self.assertRaises(FileExistsError):
                image.makedirs('/a/b/f', exist_ok=True)
            self.assertEqual([(e.name, e.is_dir(), e.stat().kind) for e in image.scandir('/a')],
                             [('b', True, 'dir')])
            name = '\u00e4' * 32  # 64 bytes of UTF-8
            image.write_bytes('/' + name, b'')
            self.assertIn(name, image.listdir())


class Errors(TempDirTest):

    def test_errors_are_oserrors_with_the_path(self):
        with self.create(size=4 * 64 * 1024) as image:
            image.mkdir('/d')
            image.write_bytes('/d/f', b'x')
            cases = [
                (lambda: image.read_bytes('/nope'), FileNotFoundError, errno.ENOENT, '/nope'),
                (lambda: image.mkdir('/d'), FileExistsError, errno.EEXIST, '/d'),
                (lambda: image.read_bytes('/d'), IsADirectoryError, errno.EISDIR, '/d'),
                (lambda: image.listdir('/d/f'), NotADirectoryError, errno.ENOTDIR, '/d/f'),
                (lambda: image.write_bytes('/' + 'n' * 65, b''), OSError, errno.ENAMETOOLONG, '/' + 'n' * 65),
                (lambda: image.write_bytes('/a*b', b''), OSError, errno.EINVAL, '/a*b'),
                (lambda: image.write_bytes(b'/\xff', b''), OSError, errno.EINVAL, '/\udcff'),
                (lambda: image.rmdir('/d'), OSError, errno.EEXIST, '/d'),
                (lambda: image.copy_in(self.path('none')), FileNotFoundError, errno.ENOENT, self.path('none')),
            ]
            for call, kind, number, path in cases:
                with self.assertRaises(kind) as caught:
                    call()
                self.assertEqual((caught.exception.errno, caught.exception.filename), (number, path))
            with self.assertRaises(OSError) as caught:
                image.rename('/d/f', '/d')
            self.assertEqual((caught.exception.filename, caught.exception.filename2), ('/d/f', '/d'))
            # A full volume: ENOSPC, and no shortened file is left behind.
            with self.assertRaises(OSError) as caught:
                image.write_bytes('/big', bytes(400 * 1024))
            self.assertEqual(caught.exception.errno, errno.ENOSPC)
            self.assertIn('volume full', str(caught.exception))
            self.assertFalse(image.exists('/big'))
            self.assertEqual(image.check(), [])
            image.write_bytes('/small', b'fits')
        with self.open() as image:
            self.assertEqual(sorted(image.listdir()), ['d', 'small'])

    def test_a_host_failure_in_a_copy_raises_the_hosts_errno(self):
        # Each case runs in a child: one takes away every free descriptor
        # but one, so that listing works and opening the file does not.
        script = """if True:
            import errno, os, resource, sys, ffsimage
            img, tree, case = sys.argv[1:4]
            with ffsimage.create(img, %d, %r) as image:
                if case == 'descriptors':
                    resource.setrlimit(resource.RLIMIT_NOFILE, (64, resource.getrlimit(resource.RLIMIT_NOFILE)[1]))
                    held = []
                    try:
                        while True:
                            held.append(os.dup(0))
                    except OSError:
                        os.close(held.pop())
                try:
                    image.copy_in(tree)
                except OSError as e:
                    print(errno.errorcode.get(e.errno), e.filename == tree)
                if case == 'descriptors':
                    for fd in held:
                        os.close(fd)
        """ % (MIB, OLD)
        cases = [('descriptors', 'plain', 'EMFILE'), ('unreadable', 'mem', 'EIO')]
        for case, kind, expected in cases:
            tree = self.path('tree-' + case)
            os.mkdir(tree)
            if kind == 'mem':
                os.symlink('/proc/self/mem', os.path.join(tree, 'f'))
            else:
                with open(os.path.join(tree, 'f'), 'wb') as f:
                    f.write(b'data')
            _, out, err = run([sys.executable, '-c', script, self.path(case + '.img'), tree, case])
            self.assertEqual(out.split(), [expected, 'True'], (case, err))
            self.assertNotIn('runtime error', err)

    def test_images_that_do_not_open(self):
        os.mkdir(self.path('dir'))
        with open(self.path('zeros.img'), 'wb') as f:
            f.write(bytes(MIB))
        with self.create('old.img'):
            pass
        cases = [
            (lambda: ffsimage.open(self.path('missing.img'), OLD), errno.ENOENT),
            (lambda: ffsimage.open(self.path('dir'), OLD), errno.EISDIR),
            (lambda: ffsimage.open(self.path('zeros.img'), OLD), errno.EINVAL),
            (lambda: ffsimage.open(self.path('old.img'), NEW), errno.ENXIO),
            (lambda: ffsimage.create(self.path('dir'), MIB, OLD), errno.EISDIR),
        ]
        for i, (call, number) in enumerate(cases):
            with self.assertRaises(OSError, msg=i) as caught:
                call()
            self.assertEqual(caught.exception.errno, number, caught.exception)
        # None of them holds the process's image slot.
        with self.open('old.img') as image:
            self.assertEqual(image.listdir(), [])
        self.assertEqual(sorted(os.listdir(self.dir)), ['dir', 'old.img', 'zeros.img'])

    def test_bad_arguments(self):
        cases = [
            (lambda: ffsimage.create(self.path('a'), MIB, 'MX29LV640b'), ValueError),
            (lambda: ffsimage.create(self.path('a'), 4 * 64 * 1024 - 1, OLD), ValueError),
            (lambda: ffsimage.create(self.path('a'), -1, OLD), ValueError),
            (lambda: ffsimage.create(self.path('a'), 1 << 32, OLD), ValueError),
            (lambda: ffsimage.create(self.path('a'), 1.5e6, OLD), TypeError),
            (lambda: ffsimage.create(self.path('a'), True, OLD), TypeError),
            (lambda: ffsimage.create(None, MIB, OLD), TypeError),
            (lambda: ffsimage.create(self.path('a\0b'), MIB, OLD), ValueError),
            (lambda: ffsimage.open(self.path('a'), b'MX29LV640B'), TypeError),
        ]
        for call, kind in cases:
            self.assertRaises(kind, call)
        with self.create() as image:
            for call, kind in [(lambda: image.read_bytes(3), TypeError),
                               (lambda: image.read_bytes('/a\0'), ValueError),
                               (lambda: image.write_bytes('/f', 'text'), TypeError),
                               (lambda: image.open('/f', 7), TypeError)]:
                self.assertRaises(kind, call)
            with image.open('/f', 'w+b') as f:
                self.assertRaises(TypeError, f.write, 'text')
                self.assertRaises(ValueError, f.seek, 0, 3)
                self.assertRaises(OSError, f.seek, 1 << 40)
                self.assertRaises(ValueError, f.truncate, -1)
        self.assertEqual(os.listdir(self.dir), ['x.img'])


def run_threads(work, count):
    """Runs work(n) on `count` threads at once; answers what they raised."""
    errors = []

    def guarded(n):
        try:
            work(n)
        except Exception as e:  # noqa: reported by the caller
            errors.append(e)
    threads = [threading.Thread(target=guarded, args=(n,)) for n in range(count)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return errors


class Threads(TempDirTest):

    def test_two_images_open_at_once_stay_apart(self):
        # Both volumes carry the same name; each image has its own file system.
        with self.create('a.img') as a, self.create('b.img') as b:
            for i in range(30):
                a.write_bytes('/f%d' % i, b'a' * i)
                b.write_bytes('/g%d' % i, b'b' * (2 * i))
            self.assertEqual(sorted(a.listdir('/')), sorted('f%d' % i for i in range(30)))
            self.assertEqual(sorted(b.listdir('/')), sorted('g%d' % i for i in range(30)))
        for name, prefix, byte, factor in (('a.img', 'f', b'a', 1), ('b.img', 'g', b'b', 2)):
            with ffsimage.open(self.path(name), OLD) as image:
                self.assertEqual(image_tree(image),
                                 {'/%s%d' % (prefix, i): byte * (factor * i) for i in range(30)})
                self.assertEqual(image.check(), [])

    def test_threads_sharing_one_image(self):
        with self.create(size=2 * MIB) as image:
            def work(n):
                image.mkdir('/t%d' % n)
                for i in range(20):
                    image.write_bytes('/t%d/f%d' % (n, i), bytes([n]) * (i * 37))
                    with image.open('/t%d/f%d' % (n, i), 'ab') as f:
                        f.write(b'!')
            self.assertEqual(run_threads(work, 4), [])
            tree = image_tree(image)
            self.assertEqual(image.check(), [])
        self.assertEqual(len(tree), 4 * 21)
        for n in range(4):
            for i in range(20):
                self.assertEqual(tree['/t%d/f%d' % (n, i)], bytes([n]) * (i * 37) + b'!')

    def test_two_images_in_two_threads(self):
        trees, problems = {}, []

        def work(n):
            with ffsimage.create(self.path('%d.img' % n), MIB, (OLD, NEW)[n]) as image:
                for i in range(50):
                    image.write_bytes('/f%d' % i, bytes([n, i]) * 100)
            with ffsimage.open(self.path('%d.img' % n), (OLD, NEW)[n]) as image:
                trees[n] = image_tree(image)
                problems.extend(image.check())
        self.assertEqual(run_threads(work, 2) + problems, [])
        for n in range(2):
            self.assertEqual(trees[n], {'/f%d' % i: bytes([n, i]) * 100 for i in range(50)})


class Documentation(TempDirTest):

    def test_help_and_stubs_cover_every_operation(self):
        text = ffsimage.__doc__
        for word in ['create', 'open', 'MX29LV640B', 'M29W256G', 'read-only', 'OSError', 'GIL']:
            self.assertIn(word, text)
        public = [n for n in dir(ffsimage.Image) if not n.startswith('_')]
        stub = read_file(os.path.join(os.path.dirname(ffsimage.__file__), '__init__.pyi')).decode()
        for name in public:
            self.assertIn('def %s(' % name, stub)
            self.assertTrue(getattr(ffsimage.Image, name).__doc__, name)
        for name in ['create', 'open']:
            self.assertIn('def %s(' % name, stub)
            self.assertIn(name + '(', getattr(ffsimage, name).__doc__)
        self.assertTrue(os.path.exists(os.path.join(os.path.dirname(ffsimage.__file__), 'py.typed')))


if __name__ == '__main__':
    main()
