# A reader of flash images written from docs/format.md alone (no code of the
# project): vorel writes images of host trees, this reader finds the newest
# checkpoint, decodes it and reads every file back through its chain. The
# tree it sees must be the host tree, byte for byte, so the document tells
# a tool author all that is needed and stays true to what is on flash.
import os
import random
import struct
import subprocess
import tempfile
import unittest

VOREL = os.environ["VOREL_BINARY"]
SECTOR_SIZES = {"MX29LV640B": 65536, "M29W256G": 131072}
MAX_CLUSTERS = 65531
CHAIN_END, RUN_MARK, NONE16, NONE32 = 0xFFFC, 0xFFFE, 0xFFFF, 0xFFFFFFFF


class Geometry(object):
    def __init__(self, image_size, sector_size):
        self.S = image_size // sector_size
        self.CS = 512
        while self.S * sector_size // self.CS > MAX_CLUSTERS:
            self.CS *= 2
        self.P = sector_size // self.CS
        self.N = self.P * self.S
        self.H = -(-(self.P + 32) // (8 * self.CS))
        self.sector_size = sector_size

    def step(self, c):  # upwards, over header clusters
        c += 1
        return c + self.H if c % self.P < self.H else c


class Stream(object):
    """The checkpoint stream: consecutive clusters, big-endian sector links."""

    def __init__(self, img, g, first):
        self.img, self.g, self.cluster, self.pos, self.followed = img, g, first, 0, 1
        self.count = 0
        self.links = 0

    def take(self, n):
        out = bytearray()
        g = self.g
        while len(out) < n:
            last_of_sector = self.cluster % g.P == g.P - 1
            if last_of_sector and self.pos == g.CS - 2:
                at = self.cluster * g.CS + g.CS - 2
                sector = struct.unpack(">H", self.img[at:at + 2])[0]
                assert sector < g.S, "link beyond the sectors"
                self.cluster, self.pos = sector * g.P + g.H, 0
                self.followed += 1
                self.links += 1
            elif self.pos == g.CS:
                self.cluster, self.pos = self.cluster + 1, 0
                self.followed += 1
            assert self.followed <= g.N
            out.append(self.img[self.cluster * g.CS + self.pos])
            self.pos += 1
        self.count += n
        return bytes(out)

    def u8(self):
        return struct.unpack("<B", self.take(1))[0]

    def u16(self):
        return struct.unpack("<H", self.take(2))[0]

    def u32(self):
        return struct.unpack("<I", self.take(4))[0]

    def name(self):
        out = bytearray()
        while True:
            b = self.take(1)
            if b == b"\0":
                return bytes(out)
            out += b


def newest_checkpoint(img, g):
    best, best_seq = None, 0
    for s in range(g.S):
        base = s * g.sector_size
        bitmap = img[base:base + (g.P + 7) // 8]
        for i in range(len(bitmap) - 1, -1, -1):
            b = bitmap[i] if isinstance(bitmap[i], int) else ord(bitmap[i])
            if b == 0xFF:
                continue
            ones = 0
            while ones < 8 and b & (1 << ones):
                ones += 1
            r = i * 8 + 7 - ones
            if g.H <= r < g.P:
                first = s * g.P + r
                seq = struct.unpack("<I", img[first * g.CS + 4:first * g.CS + 8])[0]
                if best is None or struct.unpack("<i", struct.pack("<I", (seq - best_seq) & NONE32))[0] > 0:
                    best, best_seq = first, seq
            break
    return best


def read_slot(st, g, version):
    kind = st.u8()
    assert kind <= 3, "bad slot kind %d" % kind
    slot = {"kind": kind}
    if kind in (1, 3):
        slot["next"], slot["prev"], slot["inode"] = st.u32(), st.u32(), st.u32()
        slot["parent"] = st.u32() if kind == 1 or version >= 11 else NONE32
        if kind == 1:
            slot["child"] = st.u32()
        slot["name"] = st.name()
    elif kind == 2:
        slot["tail"], slot["fill"] = st.u16(), st.u16()
        if g.CS >= 65536:
            slot["fill"] |= st.u8() << 16
        st.take(8)  # time stamps
        slot["serial"], slot["size"] = st.u32(), st.u32()
        slot["first"], slot["last"] = st.u16(), st.u16()
        slot["uid"], slot["gid"], slot["mode"], slot["links"] = st.u16(), st.u16(), st.u16(), st.u8()
        if version >= 11:
            st.u32()
        st.u8()
    return slot


def read_image(path, flash_type):
    with open(path, "rb") as f:
        img = f.read()
    g = Geometry(len(img), SECTOR_SIZES[flash_type])
    for s in range(g.S):
        at = s * g.sector_size + g.H * g.CS - 4
        assert img[at:at + 4] == b"QM13", "sector %d unsigned" % s
    first = newest_checkpoint(img, g)
    assert first is not None, "no checkpoint"
    st = Stream(img, g, first)
    (length, seq, slots, _words, _serial, free_head, free_tail, free_count, _max_erase) = [
        st.u32() for _ in range(9)]
    st.take((g.S + 1) // 2)
    mark = st.u32()
    assert mark >> 16 == 0x514D
    version = int(chr(mark >> 8 & 0xFF) + chr(mark & 0xFF))
    if version >= 13:
        st.take(4 * g.S)
    st.u32()  # area cursor
    assert slots and slots % 20 == 0
    table = [read_slot(st, g, version) for _ in range(slots)]
    free = []
    if free_head != NONE32:
        c = free_head
        while True:
            free.append(c)
            run_end, nxt = st.u16(), st.u16()
            while c != run_end:
                c = g.step(c)
                assert c <= run_end
                free.append(c)
            if nxt == CHAIN_END:
                break
            c = nxt
    assert len(free) == free_count and free[-1] == free_tail
    chains = {}
    while True:
        c = st.u16()
        if c == CHAIN_END:
            break
        chain = [c]
        while True:
            w = st.u16()
            if w == RUN_MARK:
                run_end, w = st.u16(), st.u16()
                while chain[-1] != run_end:
                    chain.append(g.step(chain[-1]))
            if w == CHAIN_END:
                break
            chain.append(w)
        chains[chain[0]] = chain
    # The length counts the content; the checkpoint's own chain holds it
    # and ends with the clean mark, still 0xFF after vorel's final commit.
    assert length == st.count and seq > 0
    own = chains[first]
    assert len(own) >= st.followed
    assert bytearray(img[own[-1] * g.CS + g.CS - 1:own[-1] * g.CS + g.CS]) == bytearray(b"\xff")

    def slot(ref):
        page, index = (ref & 0xFFFF) - 1, ref >> 16
        return table[page * 20 + index] if ref != NONE32 and 0 <= page < slots // 20 and index < 20 else None

    def data(inode):
        if inode["first"] == NONE16:
            return b""
        out = b"".join(img[c * g.CS:(c + 1) * g.CS] for c in chains[inode["first"]])
        assert inode["first"] != NONE16 and chains[inode["first"]][-1] == inode["last"]
        if inode["tail"] != NONE16:
            assert inode["size"] == g.CS * (len(chains[inode["first"]]) - 1) + inode["fill"]
        return out[:inode["size"]]

    tree = {}

    def walk(entry, path):
        ref = entry["child"]
        while ref != NONE32:
            e = slot(ref)
            p = path + "/" + e["name"].decode("utf-8")
            if e["kind"] == 1:
                tree[p + "/"] = b""
                walk(e, p)
            else:
                tree[p] = data(slot(e["inode"]))
            ref = e["next"]

    root = table[0]
    assert root["kind"] == 1 and table[1]["kind"] == 2 and slot(root["inode"]) is table[1]
    walk(root, "")
    g.links = st.links
    return tree, g


def host_tree(root):
    out = {}
    for dirpath, dirnames, filenames in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        prefix = "" if rel == "." else "/" + rel
        if prefix:
            out[prefix + "/"] = b""
        for n in filenames:
            with open(os.path.join(dirpath, n), "rb") as f:
                out[prefix + "/" + n] = f.read()
    return out


class FormatReaderTest(unittest.TestCase):
    def make_tree(self, root, files, seed):
        rnd = random.Random(seed)
        sizes = [0, 1, 511, 512, 513, 1024, 4096, 70000, 140000]
        for i in range(files):
            d = os.path.join(root, "d%02d" % (i % 7), "sub%d" % (i % 3))
            if not os.path.isdir(d):
                os.makedirs(d)
            size = sizes[i % len(sizes)] if i < 40 else rnd.randint(0, 3000)
            with open(os.path.join(d, "file_%04d_%s" % (i, "x" * (i % 50))), "wb") as f:
                f.write(bytes(bytearray(rnd.getrandbits(8) for _ in range(size))))

    def check(self, flash_type, image_size, files):
        with tempfile.TemporaryDirectory() as tmp:
            src = os.path.join(tmp, "src")
            os.makedirs(src)
            self.make_tree(src, files, image_size + files)
            img = os.path.join(tmp, "x.img")
            r = subprocess.run([VOREL, "-dir:ptf", "-src:" + src, "-dst:" + img,
                                "-size:%d" % image_size, "-flashType:" + flash_type],
                               cwd=tmp, env=dict(os.environ, TEMP=tmp), stdout=subprocess.PIPE)
            self.assertEqual(r.returncode, 0, r.stdout)
            tree, g = read_image(img, flash_type)
            self.assertEqual(sorted(tree), sorted(host_tree(src)))
            for path, content in host_tree(src).items():
                self.assertEqual(tree[path], content, path)
            return g

    def test_both_flash_types(self):
        self.check("MX29LV640B", 4 * 1024 * 1024, 60)
        self.check("M29W256G", 2 * 1024 * 1024, 60)

    def test_checkpoint_spanning_sectors(self):
        # Enough entries that the node table outgrows a 64 KiB sector.
        g = self.check("MX29LV640B", 8 * 1024 * 1024, 1500)
        self.assertGreater(g.links, 0)

    def test_doubled_clusters(self):
        g = self.check("M29W256G", 32 * 1024 * 1024, 80)
        self.assertEqual((g.CS, g.P, g.N, g.H), (1024, 128, 32768, 1))


if __name__ == "__main__":
    unittest.main()
