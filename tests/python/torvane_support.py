# Helpers of the _TORVANE suites: expected images written out field by field and
# sealed with a bitwise reference CRC, flat-function chains, buffers, and child
# processes for code that must not take the test runner down with it.
import os
import struct
import subprocess
import sys

import _TORVANE as T

IMAGE_SIZE = 512


def reference_crc(data):
    """Bit-at-a-time CRC-32, reflected 0x04C11DB7, register from 0, not inverted."""
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ (0xEDB88320 if crc & 1 else 0)
    return crc


def text(value, width):
    assert len(value) <= width, value
    return [ord(c) for c in value] + [0] * (width - len(value))


def le16(value):
    return [value & 0xFF, (value >> 8) & 0xFF]


def le32(value):
    return [(value >> (8 * i)) & 0xFF for i in range(4)]


def f32(value):
    return [ord(c) for c in struct.pack('<f', value)]


class Expected(object):
    """A 512-byte image as the layout says it must be."""

    def __init__(self, fill=0xAB):
        self.bytes = [fill] * IMAGE_SIZE

    def put(self, offset, values):
        for i, v in enumerate(values):
            self.bytes[offset + i] = v
        return self

    def zero(self, offset, count):
        return self.put(offset, [0] * count)

    def seal(self):
        return self.put(0, le32(reference_crc(self.bytes[4:])))


def buffer_bytes(buf, count=IMAGE_SIZE):
    return [T.Eprom_get(buf, i) for i in range(count)]


def fill_buffer(buf, values):
    for i, v in enumerate(values):
        T.Eprom_set(buf, i, v)


def call(cls, method, *args):
    return getattr(T, '%s_%s' % (cls, method))(*args)


def new_chain(*classes):
    """Root, base, then the given classes, each on the previous handle."""
    handles = [T.new_IHwInfoRoot()]
    handles.append(T.new_IHwInfoBase(handles[-1]))
    for cls in classes:
        handles.append(getattr(T, 'new_' + cls)(handles[-1]))
    return handles


def run_child(code):
    """Runs `code` in a fresh interpreter with the same environment; answers
    (exit status, standard output, standard error)."""
    child = subprocess.Popen([sys.executable, '-c', code], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             env=dict(os.environ))
    out, err = child.communicate()
    return child.returncode, out, err
