"""Real mounts of flash images with ffsmount, used through ordinary tools.

Each test case is its own CTest test. Where /dev/fuse or fusermount3 cannot be
used the case exits with code 77, which CTest reports as skipped by name.
"""
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

FFSMOUNT = os.environ.get("FFSMOUNT", "ffsmount")
VOREL = os.environ.get("VOREL", "vorel")
FFSINSPECT = os.environ.get("FFSINSPECT", "ffsinspect")
TYPE = "-flashType:MX29LV640B"
SKIP_CODE = 77
KILLS = 50


def fuse_usable():
    return (os.path.exists("/dev/fuse") and os.access("/dev/fuse", os.R_OK | os.W_OK)
            and shutil.which("fusermount3") is not None)


def run(*argv):
    return subprocess.run(list(argv), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          universal_newlines=True, timeout=120)


def make_tree(root, rng):
    """A tree of files of many sizes, nested and empty directories, UTF-8 names."""
    os.makedirs(root)
    dirs = [root]
    for i in range(12):
        d = os.path.join(rng.choice(dirs), "dir%d" % i)
        os.mkdir(d)
        dirs.append(d)
    os.mkdir(os.path.join(root, "empty"))
    sizes = [0, 1, 255, 256, 511, 512, 513, 4096, 70000, 200000]
    for i in range(60):
        name = rng.choice(["f%d.bin" % i, "\u00e9t\u00e9-%d.txt" % i, "n%d" % i])
        with open(os.path.join(rng.choice(dirs), name), "wb") as f:
            f.write(os.urandom(rng.choice(sizes)))


def trees_equal(a, b):
    """Same names, kinds and bytes on both sides (filecmp would compare stat)."""
    for here, dirs, files in os.walk(a):
        there = os.path.join(b, os.path.relpath(here, a))
        if sorted(dirs + files) != sorted(os.listdir(there)):
            return "listing differs in %s" % here
        for f in files:
            with open(os.path.join(here, f), "rb") as x, open(os.path.join(there, f), "rb") as y:
                if x.read() != y.read():
                    return "bytes differ in %s" % os.path.join(here, f)
    return None


class Mount(object):
    """ffsmount in the foreground as a child process."""

    def __init__(self, image, point, *options):
        self.point = point
        self.proc = subprocess.Popen([FFSMOUNT, image, point, TYPE, "-f"] + list(options),
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     universal_newlines=True)
        deadline = time.time() + 20
        while not os.path.ismount(point):
            if self.proc.poll() is not None or time.time() > deadline:
                raise AssertionError("no mount: " + self.proc.stdout.read())
            time.sleep(0.02)

    def unmount(self):
        subprocess.call(["fusermount3", "-u", self.point])
        out = self.proc.communicate(timeout=60)[0]
        return self.proc.returncode, out

    def kill(self):
        self.proc.send_signal(signal.SIGKILL)
        self.proc.wait()
        subprocess.call(["fusermount3", "-u", "-z", self.point], stderr=subprocess.DEVNULL)


class MountTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="ffsmount-")
        self.mnt = os.path.join(self.dir, "mnt")
        os.mkdir(self.mnt)
        self.rng = random.Random(26)

    def tearDown(self):
        if os.path.ismount(self.mnt):
            subprocess.call(["fusermount3", "-u", "-z", self.mnt])
        shutil.rmtree(self.dir, ignore_errors=True)

    def image(self, source=None, size=4 << 20):
        """A new image of the tree at source (an empty one without)."""
        if source is None:
            source = os.path.join(self.dir, "blank")
            os.makedirs(source, exist_ok=True)
        path = os.path.join(self.dir, "img%d" % self.rng.randrange(1 << 30))
        r = run(VOREL, "-dir:ptf", "-src:" + source, "-dst:" + path, "-size:%d" % size, TYPE)
        self.assertEqual(r.returncode, 0, r.stdout)
        return path

    def assert_check_clean(self, image):
        r = run(FFSINSPECT, image, TYPE, "check")
        self.assertEqual(r.returncode, 0, r.stdout)

    def test_copy_into_rw_mount_and_extract(self):
        src = os.path.join(self.dir, "src")
        make_tree(src, self.rng)
        image = self.image()
        m = Mount(image, self.mnt, "-rw")
        r = run("cp", "-r", src + "/.", self.mnt)
        self.assertEqual(r.returncode, 0, r.stdout)
        # What the file system cannot hold answers its errno.
        for argv, text in ((["ln", "-s", "x", self.mnt + "/link"], "Operation not permitted"),
                           (["mkfifo", self.mnt + "/fifo"], "Operation not permitted"),
                           (["touch", self.mnt + "/" + "n" * 65], "File name too long")):
            r = run(*argv)
            self.assertNotEqual(r.returncode, 0)
            self.assertIn(text, r.stdout)
        code, out = m.unmount()
        self.assertEqual(code, 0, out)
        self.assert_check_clean(image)
        out_dir = os.path.join(self.dir, "out")
        r = run(VOREL, "-dir:ftp", "-src:" + image, "-dst:" + out_dir, TYPE)
        self.assertEqual(r.returncode, 0, r.stdout)
        self.assertIsNone(trees_equal(src, out_dir))
        self.assertIsNone(trees_equal(out_dir, src))

    def test_read_only_mount_matches_source_and_changes_nothing(self):
        src = os.path.join(self.dir, "src")
        make_tree(src, self.rng)
        image = self.image(src)
        with open(image, "rb") as f:
            before = f.read()
        mtime = os.stat(image).st_mtime_ns
        m = Mount(image, self.mnt)
        r = run("diff", "-r", src, self.mnt)
        self.assertEqual(r.returncode, 0, r.stdout)
        r = run("touch", self.mnt + "/new")
        self.assertIn("Read-only file system", r.stdout)
        code, out = m.unmount()
        self.assertEqual(code, 0, out)
        with open(image, "rb") as f:
            self.assertEqual(f.read(), before)
        self.assertEqual(os.stat(image).st_mtime_ns, mtime)
        self.assert_check_clean(image)

    def test_rw_mount_locks_the_image(self):
        image = self.image()
        m = Mount(image, self.mnt, "-rw")
        text = "is in use by another process"
        r = run(VOREL, "-dir:ftp", "-src:" + image, "-dst:" + os.path.join(self.dir, "o"), TYPE)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn(text, r.stdout)
        r = run(FFSINSPECT, image, TYPE, "check")
        self.assertEqual(r.returncode, 3, r.stdout)
        self.assertIn(text, r.stdout)
        # A new image built over a mounted one would be renamed over it while
        # the mount goes on writing the old file: refused, the image kept.
        source = os.path.join(self.dir, "src2")
        os.mkdir(source)
        with open(os.path.join(source, "f"), "wb") as f:
            f.write(b"new")
        inode = os.stat(image).st_ino
        r = run(VOREL, "-dir:ptf", "-src:" + source, "-dst:" + image,
                "-size:%d" % os.path.getsize(image), TYPE)
        self.assertNotEqual(r.returncode, 0, r.stdout)
        self.assertIn(text, r.stdout)
        self.assertEqual(os.stat(image).st_ino, inode)
        other = os.path.join(self.dir, "mnt2")
        os.mkdir(other)
        r = run(FFSMOUNT, image, other, TYPE, "-rw", "-f")
        self.assertEqual(r.returncode, 2, r.stdout)
        self.assertIn(text, r.stdout)
        code, out = m.unmount()
        self.assertEqual(code, 0, out)
        self.assert_check_clean(image)

    def test_sigkill_loses_nothing_synced(self):
        image = self.image(size=32 << 20)  # room for every kill's files
        synced = {}  # path in the mount -> bytes that an fsync returned 0 for
        start = time.time()
        for kill in range(KILLS):
            self.assert_check_clean(image)
            m = Mount(image, self.mnt, "-rw")
            for path, data in synced.items():
                with open(os.path.join(self.mnt, path), "rb") as f:
                    self.assertEqual(f.read(), data, "kill %d lost %s" % (kill, path))
            stop = threading.Event()
            worker = threading.Thread(target=self.workload, args=(kill, synced, stop))
            worker.start()
            time.sleep(self.rng.uniform(0.02, 0.3))
            m.kill()
            stop.set()
            worker.join(30)
            self.assertFalse(worker.is_alive())
        self.assert_check_clean(image)
        self.assertGreater(len(synced), KILLS)
        print("ffsmount: %d kills in %.0f s, %d synced files kept" % (KILLS, time.time() - start, len(synced)))

    def workload(self, kill, synced, stop):
        rng = random.Random(kill)
        d = "k%d" % kill
        try:
            os.mkdir(os.path.join(self.mnt, d))
            for i in range(10000):
                if stop.is_set():
                    return
                name = "%s/f%d" % (d, i)
                data = os.urandom(rng.choice([1, 300, 5000, 40000]))
                fd = os.open(os.path.join(self.mnt, name), os.O_WRONLY | os.O_CREAT, 0o644)
                try:
                    data = data[:os.write(fd, data)]
                    if rng.random() < 0.6:
                        os.fsync(fd)
                        synced[name] = data
                finally:
                    os.close(fd)
        except OSError:
            pass  # the driver was killed under us


if __name__ == "__main__":
    if not fuse_usable():
        print("SKIPPED: /dev/fuse or fusermount3 cannot be used here")
        sys.exit(SKIP_CODE)
    unittest.main()
