"""Texts crossing both modules, under Python 2.7 and Python 3: text arguments as
bytes (passed unchanged) or, under Python 3, str (UTF-8, surrogateescape); text
results as str that encode back to the exact bytes the engine produced; and
parameter files taken from and written to binary files with their checksum
intact, non-ASCII and non-UTF-8 values included."""
import hashlib
import os
import shutil
import sys
import tempfile
import unittest

import Kestor
import TORVANE  # registers the proxy classes, whose destructors free the handles collected here
import _TORVANE as T
from kestor_support import INSIDE, body, engine_bytes
from torvane_support import buffer_bytes, new_chain

PY3 = sys.version_info[0] >= 3
only_python3 = unittest.skipUnless(PY3, 'under Python 2.7 str is the byte string')

# The UTF-8 bytes of "\u00dcberstrom \u00b5A", "\u03a9" and "Schutz f\u00fcr Leitung \u2013 \u03a9".
UEBERSTROM = b'\xc3\x9cberstrom \xc2\xb5A'
OMEGA = b'\xce\xa9'
SCHUTZ = b'Schutz f\xc3\xbcr Leitung \xe2\x80\x93 \xce\xa9'
TRAILER_BYTES = 65  # "<!--CHECKSUM:" 32 digits " LENGTH:" 8 digits "-->\n"


def result_text(raw):
    """What a text result holding `raw` is under this interpreter."""
    return raw.decode('utf-8', 'surrogateescape') if PY3 else raw


def sealed(raw):
    """A model body in bytes with its checksum comment, computed here by hashlib."""
    comment = '<!--CHECKSUM:%s LENGTH:%08x-->\n' % (hashlib.md5(raw).hexdigest(), len(raw))
    return raw + comment.encode('ascii')


def model_bytes(root_attributes=b'', parameter=b''):
    """The suites' small model with extra root attributes and one extra parameter."""
    raw = body(inside=INSIDE).encode('ascii')
    raw = raw.replace(b'multiSets="2"', b'multiSets="2"' + root_attributes)
    raw = raw.replace(b'default="5"/>\n', b'default="5"/>\n' + parameter)
    return sealed(raw)


def checksum_holds(data):
    return len(data) > TRAILER_BYTES and sealed(data[:-TRAILER_BYTES]) == data


class ParameterFilesThroughBinaryFiles(unittest.TestCase):

    def setUp(self):
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write_file(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, 'wb') as f:
            f.write(data)
        return path

    def read_file(self, path):
        with open(path, 'rb') as f:
            return f.read()

    def generate(self, model, changedby=b'me'):
        """Model file in binary mode -> parameter file written back in binary mode."""
        creator = Kestor.DeviceModelCreator(self.read_file(self.write_file('model.xml', model)))
        self.assertIs(creator.CreateCustomerDeviceParameter(b'gen', b'2026-12-07'), True)
        text = creator.WriteCustomerAllParameter(changedby, b'now')
        self.assertIs(type(text), str)
        written = self.read_file(self.write_file('parameters.xml', engine_bytes(text)))
        self.assertTrue(checksum_holds(written), written)
        return creator, text, written

    def test_ascii_model(self):
        _, text, written = self.generate(model_bytes())
        self.assertEqual(len(written), len(text))
        self.assertIn(b' device="DEV1" ', written)

    def test_model_with_non_ascii_utf8_values(self):
        model = model_bytes(b' productLine="' + UEBERSTROM + b'" handoff="HO-' + OMEGA + b'"',
                            b'\t\t\t\t<Name type="string" default="' + SCHUTZ + b'"/>\n')
        model = model.replace(b'device="DEV1"', b'device="RX7-' + OMEGA + b'"')
        model = sealed(model[:-TRAILER_BYTES])
        creator, text, written = self.generate(model, changedby=b'J\xc3\xbcrgen')
        self.assertIn(b' device="RX7-' + OMEGA + b'" ', written)
        self.assertIn(b' productLine="' + UEBERSTROM + b'"', written)
        self.assertIn(b' createdWithDmHandoff="HO-' + OMEGA + b'" ', written)
        self.assertIn(b' changedby="J\xc3\xbcrgen" ', written)
        self.assertIn(b'<Name>' + SCHUTZ + b'</Name>', written)  # a parameter value from the model
        self.assertEqual(creator.GetTypecode(), result_text(b'RX7-' + OMEGA))
        if PY3:
            self.assertIn(' productLine="\u00dcberstrom \u00b5A"', text)

    def test_bytes_that_are_not_utf8_survive(self):
        latin1 = b'\xdcberstrom \xb5A'
        model = model_bytes(b' productLine="' + latin1 + b'"')
        _, text, written = self.generate(model, changedby=b'J\xfcrgen')
        self.assertIn(b' productLine="' + latin1 + b'"', written)
        self.assertIn(b' changedby="J\xfcrgen" ', written)
        if PY3:
            self.assertIn('productLine="\udcdcberstrom \udcb5A"', text)

    def test_rejected_model_file(self):
        model = model_bytes(b' productLine="' + UEBERSTROM + b'"')
        broken = model.replace(UEBERSTROM, b'\xc3\x9cberstrom \xc2\xb5B')  # same length, checksum no longer matches
        creator = Kestor.DeviceModelCreator(self.read_file(self.write_file('model.xml', broken)))
        self.assertIs(creator.CreateCustomerDeviceParameter(b'gen', b'now'), False)
        self.assertEqual(creator.WriteCustomerAllParameter(b'a', b'b'), '')

    @only_python3
    def test_model_as_str_reaches_the_engine_as_its_bytes(self):
        # The engine accepts a model only when the MD5 of the bytes it sees matches.
        for raw in (model_bytes(b' productLine="' + UEBERSTROM + b'"'),
                    model_bytes(b' productLine="\xdcber\xff"')):
            as_bytes = Kestor.DeviceModelCreator(raw)
            as_str = Kestor.DeviceModelCreator(raw.decode('utf-8', 'surrogateescape'))
            self.assertIs(as_bytes.CreateCustomerDeviceParameter('g', 'c'), True)
            self.assertIs(as_str.CreateCustomerDeviceParameter('g', 'c'), True)
            self.assertEqual(as_str.WriteCustomerAllParameter('a', 'b'), as_bytes.WriteCustomerAllParameter('a', 'b'))

    @only_python3
    def test_results_go_back_in_as_the_same_bytes(self):
        creator = Kestor.DeviceModelCreator(model_bytes().replace(b'device="DEV1"', b'device="D\xff1"'))
        self.assertIs(creator.CreateCustomerDeviceParameter('g', 'c'), False)  # the checksum covers the device
        creator = Kestor.DeviceModelCreator(sealed(model_bytes()[:-TRAILER_BYTES].replace(b'"DEV1"', b'"D\xff1"')))
        self.assertIs(creator.CreateCustomerDeviceParameter('g', 'c'), True)
        typecode = creator.GetTypecode()
        self.assertEqual(typecode, 'D\udcff1')
        text = creator.WriteCustomerAllParameter(typecode, typecode)
        self.assertIn(b'changedby="D\xff1" changed="D\xff1"', engine_bytes(text))


class TextArgumentTypes(unittest.TestCase):

    @only_python3
    def test_str_is_encoded_as_utf8_and_bytes_pass_unchanged(self):
        creator = Kestor.DeviceModelCreator(model_bytes())
        self.assertIs(creator.CreateCustomerDeviceParameter('g\u00e9n', b'\xe9t\xe9'), True)
        data = engine_bytes(creator.WriteCustomerAllParameter('J\u00fcrgen \u2013 \U0001F600', b'J\xfcrgen'))
        self.assertIn(b' generator="g\xc3\xa9n" created="\xe9t\xe9" ', data)
        self.assertIn(b' changedby="J\xc3\xbcrgen \xe2\x80\x93 \xf0\x9f\x98\x80" changed="J\xfcrgen" ', data)
        self.assertTrue(checksum_holds(data))

    @only_python3
    def test_lone_surrogates_outside_the_escapes_are_refused(self):
        with self.assertRaises(TypeError) as caught:
            Kestor.DeviceModelCreator('\ud800')
        self.assertEqual(str(caught.exception), "in method 'new_DeviceModelCreator', argument 1 of type 'char *'")
        creator = Kestor.DeviceModelCreator(model_bytes())
        with self.assertRaises(TypeError) as caught:
            creator.WriteCustomerAllParameter('a', 'b\udbff')
        self.assertEqual(str(caught.exception),
                         "in method 'DeviceModelCreator_WriteCustomerAllParameter', argument 3 of type 'char *'")

    def test_other_buffer_types_are_refused(self):
        for value in (bytearray(b'abc'), memoryview(b'abc')):
            with self.assertRaises(TypeError) as caught:
                Kestor.DeviceModelCreator(value)
            self.assertEqual(str(caught.exception), "in method 'new_DeviceModelCreator', argument 1 of type 'char *'")

    def test_string_vector_items(self):
        strings = Kestor.StringVector()
        strings.append(b'a\xff')
        strings.append(b'\xc3\xa4')
        self.assertEqual(list(strings), [result_text(b'a\xff'), result_text(b'\xc3\xa4')])
        if PY3:
            strings.append('\u00e4\udcff')
            self.assertEqual(strings[2], '\u00e4\udcff')
            self.assertEqual(strings[1], '\u00e4')


class TorvaneTexts(unittest.TestCase):
    SERIAL_AT = 6 + 74  # the Cpu V4 detail record after the base and common V3 records

    def setUp(self):
        self.handles = new_chain('IHwInfoTest_Common_V3', 'IHwInfoTestDetail_Cpu_V4')
        self.cpu = self.handles[-1]
        self.buf = T.new_Eprom(512)

    def tearDown(self):
        T.delete_Eprom(self.buf)

    def serial_bytes(self):
        T.IHwInfoTestDetail_Cpu_V4_Write(self.cpu, self.buf)
        return buffer_bytes(self.buf)[self.SERIAL_AT:self.SERIAL_AT + 8]

    def test_bytes_setter_and_str_getter(self):
        self.assertEqual(T.IHwInfoTestDetail_Cpu_V4_SetSerialNumber(self.cpu, b'SN\xc3\x84\xff'), 0)
        self.assertEqual(self.serial_bytes(), [0x53, 0x4E, 0xC3, 0x84, 0xFF, 0, 0, 0])
        answer = T.IHwInfoDevDetail_Cpu_V4_GetSerialNumber(self.cpu)
        self.assertIs(type(answer), str)
        self.assertEqual(answer, result_text(b'SN\xc3\x84\xff'))
        self.assertEqual(engine_bytes(answer), b'SN\xc3\x84\xff')

    @only_python3
    def test_str_setter_writes_utf8(self):
        self.assertEqual(T.IHwInfoTestDetail_Cpu_V4_SetSerialNumber(self.cpu, 'SN\u00c4\udcff'), 0)
        self.assertEqual(self.serial_bytes(), [0x53, 0x4E, 0xC3, 0x84, 0xFF, 0, 0, 0])
        self.assertEqual(T.IHwInfoDevDetail_Cpu_V4_GetSerialNumber(self.cpu), 'SN\u00c4\udcff')
        with self.assertRaises(TypeError) as caught:
            T.IHwInfoTestDetail_Cpu_V4_SetSerialNumber(self.cpu, '\udfff')
        self.assertEqual(str(caught.exception),
                         "in method 'IHwInfoTestDetail_Cpu_V4_SetSerialNumber', argument 2 of type 'char const *'")

    def test_overloads_take_bytes(self):
        self.assertEqual(T.IHwInfoTestDetail_Cpu_V4_SetCheckDate(self.cpu, b'Flash', b'01-02-03'), 0)
        self.assertEqual(T.IHwInfoTestDetail_Cpu_V4_SetCheckDate(self.cpu, b'04-05-06'), 0)
        self.assertEqual(T.IHwInfoDevDetail_Cpu_V4_GetCheckDate(self.cpu, b'Flash'), '01-02-03')
        self.assertEqual(T.IHwInfoDevDetail_Cpu_V4_GetCheckDate(self.cpu), '04-05-06')
        with self.assertRaises(NotImplementedError):
            T.IHwInfoDevDetail_Cpu_V4_GetCheckDate(self.cpu, bytearray(b'Flash'))


if __name__ == '__main__':
    unittest.main()
