# The _TORVANE interface: flat functions of every class, overloads, the binding
# conventions (argument parsing, overload errors, object docs, shared type
# tables), conversion errors, ownership, Eprom buffers and calibration results.
import re
import sys
import unittest

import _TORVANE as T
import TORVANE
from torvane_support import Expected, buffer_bytes, fill_buffer, le16, new_chain, run_child

READING = ['Common', 'Common_V2', 'Common_V3']
DETAILS = ['FADC', 'Cpu', 'Cpu_V2', 'Cpu_V3', 'Cpu_V4', 'Netzteil', 'Netzteil_V2', 'HMI', 'HMI_V2', 'MKAIR']
CLASSES = (['IHwInfo', 'IHwInfoRoot', 'IHwInfoBase'] +
           ['IHwInfo%s_%s' % (side, c) for side in ('Dev', 'Test') for c in READING] +
           ['IHwInfo%sDetail_%s' % (side, d) for side in ('Dev', 'Test') for d in DETAILS])


def overload_message(function, *prototypes):
    return ("Wrong number of arguments for overloaded function '%s'.\n  Possible C/C++ prototypes are:\n%s" %
            (function, ''.join('    %s\n' % p for p in prototypes)))


class FlatFunctions(unittest.TestCase):

    def test_every_class_has_constructor_destructor_and_registration(self):
        for cls in CLASSES:
            for name in ('new_' + cls, 'delete_' + cls, cls + '_swigregister'):
                self.assertTrue(hasattr(T, name), name)
        for name in ('IHwInfo_m_HwInfo_get', 'IHwInfo_m_HwInfo_set', 'IHwInfo_UsedBytes', 'new_Eprom',
                     'delete_Eprom', 'Eprom_get', 'Eprom_set'):
            self.assertTrue(hasattr(T, name), name)
        # Methods exist on the declaring class only; derived objects use them.
        self.assertFalse(hasattr(T, 'IHwInfoTest_Common_GetFaNumber'))
        self.assertFalse(hasattr(T, 'IHwInfoRoot_UsedBytes'))

    def test_bare_handle_has_no_chain(self):
        bare = T.new_IHwInfo()
        self.assertIsNone(T.IHwInfo_m_HwInfo_get(bare))
        self.assertEqual(T.IHwInfo_UsedBytes(bare), 0)
        base = T.new_IHwInfoBase(bare)
        self.assertIs(T.IHwInfoBase_Read(base), False)
        self.assertEqual(T.IHwInfo_UsedBytes(base), 6)
        T.delete_IHwInfoBase(base)
        T.delete_IHwInfo(bare)

    def test_read_overloads_of_the_base_handle(self):
        root, base = new_chain()
        image = Expected().put(4, le16(2)).seal()
        buf = T.new_Eprom(512)
        fill_buffer(buf, image.bytes)
        self.assertIs(T.IHwInfoBase_Read(base, buf), True)
        self.assertEqual(T.IHwInfoBase_GetCommonID(base), 2)
        self.assertIs(T.IHwInfoBase_IsCheckSumValid(base), True)
        T.Eprom_set(buf, 4, 3)  # the buffer changes, the image held does not
        self.assertIs(T.IHwInfoBase_Read(base), True)
        self.assertEqual(T.IHwInfoBase_GetCommonID(base), 2)
        with self.assertRaises(NotImplementedError) as caught:
            T.IHwInfoBase_Read(base, buf, buf)
        self.assertEqual(str(caught.exception),
                         overload_message('IHwInfoBase_Read', 'Read(void const *)', 'Read()'))
        with self.assertRaises(NotImplementedError) as caught:
            T.IHwInfoBase_Read(base, 5)  # no overload takes a number
        self.assertEqual(str(caught.exception),
                         overload_message('IHwInfoBase_Read', 'Read(void const *)', 'Read()'))
        self.assertIs(T.IHwInfoBase_Read(base, None), True)  # a null source decodes the image held
        T.delete_Eprom(buf)

    def test_root_read_takes_a_buffer_only(self):
        root = T.new_IHwInfoRoot()
        with self.assertRaises(TypeError) as caught:
            T.IHwInfoRoot_Read(root)
        self.assertEqual(str(caught.exception), 'IHwInfoRoot_Read() takes exactly 2 arguments (1 given)')
        zeros = T.new_Eprom(512)
        fill_buffer(zeros, [0] * 512)
        self.assertIs(T.IHwInfoRoot_Read(root, zeros), False)  # checksum 0 is never valid
        T.delete_Eprom(zeros)

    def test_cpu_v4_check_date_overloads(self):
        handles = new_chain('IHwInfoTest_Common_V3', 'IHwInfoTestDetail_Cpu_V4')
        cpu = handles[-1]
        self.assertEqual(T.IHwInfoTestDetail_Cpu_V4_SetCheckDate(cpu, '22-11-15'), 0)
        self.assertEqual(T.IHwInfoTestDetail_Cpu_V4_SetCheckDate(cpu, 'Flash', '01-02-03'), 0)
        self.assertEqual(T.IHwInfoDevDetail_Cpu_V4_GetCheckDate(cpu), '22-11-15')
        self.assertEqual(T.IHwInfoDevDetail_Cpu_V4_GetCheckDate(cpu, 'Flash'), '01-02-03')
        with self.assertRaises(NotImplementedError) as caught:
            T.IHwInfoDevDetail_Cpu_V4_GetCheckDate(cpu, 'Flash', 'x')
        self.assertEqual(str(caught.exception), overload_message(
            'IHwInfoDevDetail_Cpu_V4_GetCheckDate', 'GetCheckDate()', 'GetCheckDate(char const *)'))
        with self.assertRaises(NotImplementedError) as caught:
            T.IHwInfoTestDetail_Cpu_V4_SetCheckDate(cpu)
        self.assertEqual(str(caught.exception), overload_message(
            'IHwInfoTestDetail_Cpu_V4_SetCheckDate', 'SetCheckDate(char const *)',
            'SetCheckDate(char const *,char const *)'))

    def test_derived_objects_use_the_reading_side_functions(self):
        handles = new_chain('IHwInfoTest_Common_V3', 'IHwInfoTestDetail_Cpu_V4')
        cpu = handles[-1]
        self.assertEqual(T.IHwInfoTestDetail_Cpu_V4_SetSerialNumber(cpu, 'SN42'), 0)
        self.assertEqual(T.IHwInfoDevDetail_Cpu_V4_GetSerialNumber(cpu), 'SN42')
        self.assertIs(T.IHwInfoDevDetail_Cpu_V4_Read(cpu), False)  # nothing written yet: detail ID 0
        self.assertEqual(T.IHwInfo_UsedBytes(cpu), 6 + 74 + 408)
        reader = T.new_IHwInfoDevDetail_Cpu_V4(handles[-2])
        with self.assertRaises(TypeError) as caught:
            T.IHwInfoTestDetail_Cpu_V4_SetSerialNumber(reader, 'X')
        self.assertEqual(str(caught.exception), "in method 'IHwInfoTestDetail_Cpu_V4_SetSerialNumber', "
                                                "argument 1 of type 'IHwInfoTestDetail_Cpu_V4 *'")

    def test_result_types(self):
        handles = new_chain('IHwInfoTest_Common', 'IHwInfoTestDetail_Cpu')
        common, cpu = handles[-2], handles[-1]
        self.assertEqual(T.IHwInfoTest_Common_SetReserve(common, 0xFFFFFFFF), 0)
        self.assertEqual(T.IHwInfoDev_Common_GetReserve(common), 0xFFFFFFFF)
        self.assertIsInstance(T.IHwInfoDev_Common_GetFaNumber(common), str)
        self.assertIsInstance(T.IHwInfoDev_Common_GetDetailID(common), int)
        self.assertIsNone(T.IHwInfoTestDetail_Cpu_Write(cpu, None))
        self.assertIs(T.IHwInfoDevDetail_Cpu_Read(cpu), True)
        self.assertEqual(T.IHwInfoDev_Common_GetDetailID(common), 0x0201)


class Conventions(unittest.TestCase):

    def setUp(self):
        self.handles = new_chain('IHwInfoTest_Common')
        self.common = self.handles[-1]

    def test_arguments_are_parsed_with_one_format_letter_each(self):
        cases = [
            (lambda: T.IHwInfoTest_Common_SetFaNumber(self.common),
             'IHwInfoTest_Common_SetFaNumber() takes exactly 2 arguments (1 given)'),
            (lambda: T.IHwInfoTest_Common_SetFaNumber(self.common, 'a', 'b'),
             'IHwInfoTest_Common_SetFaNumber() takes exactly 2 arguments (3 given)'),
            (lambda: T.delete_IHwInfoRoot(), 'delete_IHwInfoRoot() takes exactly 1 argument (0 given)'),
            (lambda: T.new_IHwInfoRoot(1), 'new_IHwInfoRoot() takes exactly 0 arguments (1 given)'),
            (lambda: T.Eprom_set(None, 1), 'Eprom_set() takes exactly 3 arguments (2 given)'),
        ]
        for call, message in cases:
            with self.assertRaises(TypeError) as caught:
                call()
            self.assertEqual(str(caught.exception), message)

    def test_conversion_failures_name_function_argument_and_type(self):
        buf = T.new_Eprom(4)
        cases = [
            (lambda: T.IHwInfoTest_Common_SetFaNumber(self.common, 5), TypeError,
             "in method 'IHwInfoTest_Common_SetFaNumber', argument 2 of type 'char const *'"),
            (lambda: T.new_IHwInfoBase(5), TypeError, "in method 'new_IHwInfoBase', argument 1 of type 'IHwInfo &'"),
            (lambda: T.new_IHwInfoBase(None), ValueError,
             "invalid null reference in method 'new_IHwInfoBase', argument 1 of type 'IHwInfo &'"),
            (lambda: T.IHwInfoDev_Common_GetFaNumber(self.handles[0]), TypeError,
             "in method 'IHwInfoDev_Common_GetFaNumber', argument 1 of type 'IHwInfoDev_Common *'"),
            (lambda: T.Eprom_set(buf, 0, 256), OverflowError, "in method 'Eprom_set', argument 3 of type 'unsigned char'"),
            (lambda: T.Eprom_set(buf, 0, -1), OverflowError, "in method 'Eprom_set', argument 3 of type 'unsigned char'"),
            (lambda: T.Eprom_set(buf, 0, 'x'), TypeError, "in method 'Eprom_set', argument 3 of type 'unsigned char'"),
            (lambda: T.IHwInfoTest_Common_SetHwComponentRevision(self.common, 65536), OverflowError,
             "in method 'IHwInfoTest_Common_SetHwComponentRevision', argument 2 of type 'unsigned short'"),
            (lambda: T.IHwInfoTest_Common_SetReserve(self.common, 2 ** 32), OverflowError,
             "in method 'IHwInfoTest_Common_SetReserve', argument 2 of type 'unsigned long'"),
            (lambda: T.IHwInfoTest_Common_SetReserve(self.common, -1), OverflowError,
             "in method 'IHwInfoTest_Common_SetReserve', argument 2 of type 'unsigned long'"),
        ]
        for call, exception, message in cases:
            with self.assertRaises(exception) as caught:
                call()
            self.assertEqual(str(caught.exception), message)
        T.delete_Eprom(buf)

    def test_contrast_offset_is_a_short(self):
        handles = new_chain('IHwInfoTest_Common', 'IHwInfoTestDetail_HMI')
        with self.assertRaises(OverflowError) as caught:
            T.IHwInfoTestDetail_HMI_SetContrastOffset(handles[-1], 40000)
        self.assertEqual(str(caught.exception),
                         "in method 'IHwInfoTestDetail_HMI_SetContrastOffset', argument 2 of type 'short'")
        self.assertEqual(T.IHwInfoTestDetail_HMI_SetContrastOffset(handles[-1], -32768), 0)
        self.assertEqual(T.IHwInfoDevDetail_HMI_GetContrastOffset(handles[-1]), -32768)

    def test_none_is_a_null_text(self):
        self.assertEqual(T.IHwInfoTest_Common_SetFaNumber(self.common, None), -1)
        handles = new_chain('IHwInfoTest_Common_V2')
        self.assertEqual(T.IHwInfoDev_Common_V2_GetFaNumber(handles[-1], None), '')
        self.assertEqual(T.IHwInfoTest_Common_V2_SetFaNumber(handles[-1], None, 'X'), -1)

    def test_wrapped_object_text_and_methods(self):
        record = T.IHwInfo_m_HwInfo_get(self.common)
        self.assertTrue(re.match(r"^<Swig Object of type 'HwInfo \*' at 0x[0-9a-f]+>$", repr(record)), repr(record))
        docs = {
            'disown': 'releases ownership of the pointer',
            'acquire': 'aquires ownership of the pointer',
            'own': 'returns/sets ownership of the pointer',
            'append': "appends another 'this' object",
            'next': "returns the next 'this' object",
        }
        for method, doc in docs.items():
            self.assertEqual(getattr(record, method).__doc__, doc, method)
        # __repr__ answers through the type's repr slot, whose wrapper takes its place.
        self.assertEqual(record.__repr__(), repr(record))

    def test_type_tables_are_shared_through_runtime_data3(self):
        self.assertIn('swig_runtime_data3', sys.modules)
        self.assertTrue(hasattr(sys.modules['swig_runtime_data3'], 'type_pointer'))
        self.assertNotIn('swig_runtime_data4', sys.modules)

    def test_ownership(self):
        root = TORVANE.IHwInfoRoot()
        self.assertTrue(root.thisown)
        record = T.IHwInfo_m_HwInfo_get(root)
        self.assertFalse(record.own())
        self.assertTrue(isinstance(root.this, type(record)))

    def test_owned_object_without_destructor_reports_a_leak(self):
        status, out, err = run_child(
            'import _TORVANE as T\n'
            'root = T.new_IHwInfoRoot()\n'
            'record = T.IHwInfo_m_HwInfo_get(root)\n'
            'record.acquire()\n'
            'del record\n'
            'T.delete_IHwInfoRoot(root)\n')
        self.assertEqual(status, 0, err)
        self.assertEqual(out, "swig/python detected a memory leak of type 'HwInfo *', no destructor found.\n")


class EpromBuffers(unittest.TestCase):

    def test_set_and_get(self):
        buf = T.new_Eprom(512)
        T.Eprom_set(buf, 0, 255)
        self.assertEqual(T.Eprom_get(buf, 0), 255)
        T.Eprom_set(buf, 511, 7)
        self.assertEqual(T.Eprom_get(buf, 511), 7)
        T.delete_Eprom(buf)

    def test_indexes_outside_a_buffer_of_this_module_raise_index_error(self):
        buf = T.new_Eprom(16)
        for index in (16, 512, -1, 2 ** 31 - 1):
            with self.assertRaises(IndexError) as caught:
                T.Eprom_get(buf, index)
            self.assertEqual(str(caught.exception), 'Eprom index %d outside 0..15' % index)
            with self.assertRaises(IndexError):
                T.Eprom_set(buf, index, 1)
        T.delete_Eprom(buf)
        empty = T.new_Eprom(0)
        with self.assertRaises(IndexError):
            T.Eprom_get(empty, 0)
        T.delete_Eprom(empty)

    def test_image_copies_need_512_bytes_in_buffers_of_this_module(self):
        handles = new_chain('IHwInfoTest_Common')
        small = T.new_Eprom(511)
        with self.assertRaises(ValueError) as caught:
            T.IHwInfoTest_Common_Write(handles[-1], small)
        self.assertEqual(str(caught.exception), "in method 'IHwInfoTest_Common_Write', argument 2 of type "
                                                "'void *': the buffer holds fewer than 512 bytes")
        with self.assertRaises(ValueError) as caught:
            T.IHwInfoDev_Common_Read(handles[-1], small)
        self.assertEqual(str(caught.exception), "in method 'IHwInfoDev_Common_Read', argument 2 of type "
                                                "'void const *': the buffer holds fewer than 512 bytes")
        with self.assertRaises(ValueError):
            T.IHwInfoRoot_Read(handles[0], small)
        T.delete_Eprom(small)
        large = T.new_Eprom(1024)
        T.IHwInfoTest_Common_Write(handles[-1], large)
        self.assertIs(T.IHwInfoDev_Common_Read(handles[-1], large), True)
        T.delete_Eprom(large)

    def test_buffer_arguments_take_live_eprom_buffers_only(self):
        handles = new_chain('IHwInfoTest_Common_V3', 'IHwInfoTestDetail_Cpu_V4')
        cpu = handles[-1]
        self.assertEqual(T.IHwInfoTestDetail_Cpu_V4_SetMacId(cpu, 'de-ad-be-ef-01-02'), 0)
        mac = T.IHwInfoDevDetail_Cpu_V4_GetMacIdValue(cpu)
        self.assertTrue(repr(mac).startswith("<Swig Object of type 'unsigned char (*)[6]' at 0x"), repr(mac))
        self.assertEqual(T.IHwInfoDevDetail_Cpu_V4_GetMacId(cpu), 'DE-AD-BE-EF-01-02')
        # Any other object, wrapped pointers of other types included: TypeError
        # (the overloaded Read takes no plain value at all: NotImplementedError).
        wrapped = [mac, T.IHwInfo_m_HwInfo_get(cpu), cpu, handles[0]]
        calls = [('Eprom_get', lambda b: T.Eprom_get(b, 10 ** 8), 1),
                 ('Eprom_set', lambda b: T.Eprom_set(b, 0, 1), 1),
                 ('delete_Eprom', T.delete_Eprom, 1),
                 ('IHwInfoTestDetail_Cpu_V4_Write', lambda b: T.IHwInfoTestDetail_Cpu_V4_Write(cpu, b), 2),
                 ('IHwInfoDevDetail_Cpu_V4_Read', lambda b: T.IHwInfoDevDetail_Cpu_V4_Read(cpu, b), 2),
                 ('IHwInfoRoot_Read', lambda b: T.IHwInfoRoot_Read(handles[0], b), 2)]
        for name, call, argument in calls:
            declared = 'void const *' if name.endswith('Read') else 'void *'
            for value in wrapped + [5, 'text', object()]:
                overload = name == 'IHwInfoDevDetail_Cpu_V4_Read' and value not in wrapped
                with self.assertRaises(NotImplementedError if overload else TypeError) as caught:
                    call(value)
                if not overload:
                    self.assertEqual(str(caught.exception), "in method '%s', argument %d of type '%s'" %
                                     (name, argument, declared))
        self.assertEqual(T.IHwInfoDevDetail_Cpu_V4_GetMacId(cpu), 'DE-AD-BE-EF-01-02')  # nothing written
        # A deleted buffer: ValueError, for every function, a second delete included.
        buf = T.new_Eprom(512)
        T.delete_Eprom(buf)
        for name, call, argument in calls:
            declared = 'void const *' if name.endswith('Read') else 'void *'
            with self.assertRaises(ValueError) as caught:
                call(buf)
            self.assertEqual(str(caught.exception), "in method '%s', argument %d of type '%s': the buffer was "
                                                    "given to delete_Eprom" % (name, argument, declared))

    def test_null_and_failed_buffers(self):
        self.assertIsNone(T.new_Eprom(-1))
        T.delete_Eprom(None)
        with self.assertRaises(ValueError) as caught:
            T.Eprom_get(None, 0)
        self.assertEqual(str(caught.exception), 'Eprom buffer is null')
        buf = T.new_Eprom(8)
        T.delete_Eprom(buf)
        with self.assertRaises(ValueError):
            T.delete_Eprom(buf)  # a second delete frees nothing

    def test_buffers_are_not_owned_by_python(self):
        status, out, err = run_child(
            'import gc, _TORVANE as T\n'
            'buf = T.new_Eprom(512)\n'
            'print(buf.own())\n'
            'T.delete_Eprom(buf)\n'
            'del buf\n'
            'gc.collect()\n')
        self.assertEqual(status, 0, err)
        self.assertEqual(out, 'False\n')


class Calibration(unittest.TestCase):

    def test_fadc_answers_result_and_three_values(self):
        handles = new_chain('IHwInfoTest_Common', 'IHwInfoTestDetail_FADC')
        fadc = handles[-1]
        self.assertEqual(T.IHwInfoTestDetail_FADC_SetCalibData(fadc, 3, 3, 1.5, -2.25, 1e6), 0)
        self.assertEqual(T.IHwInfoDevDetail_FADC_GetCalibData(fadc, 3, 3), (0, 1.5, -2.25, 1e6))
        self.assertEqual(T.IHwInfoDevDetail_FADC_GetCalibData(fadc, 0, 0), (0, 0.0, 0.0, 0.0))
        self.assertEqual(T.IHwInfoDevDetail_FADC_GetCalibData(fadc, 4, 0)[0], -1)
        self.assertEqual(T.IHwInfoTestDetail_FADC_SetCalibData(fadc, 0, 4, 1, 2, 3), -1)
        with self.assertRaises(TypeError) as caught:
            T.IHwInfoDevDetail_FADC_GetCalibData(fadc, 0)
        self.assertEqual(str(caught.exception), 'IHwInfoDevDetail_FADC_GetCalibData() takes exactly 3 arguments (2 given)')

    def test_mkair_answers_result_and_two_values(self):
        handles = new_chain('IHwInfoTest_Common_V2', 'IHwInfoTestDetail_MKAIR')
        mkair = handles[-1]
        self.assertEqual(T.IHwInfoTestDetail_MKAIR_SetCalibData(mkair, 7, 3, 0.5, 4.0), 0)
        self.assertEqual(T.IHwInfoDevDetail_MKAIR_GetCalibData(mkair, 7, 3), (0, 0.5, 4.0))
        self.assertEqual(T.IHwInfoTestDetail_MKAIR_SetCalibData(mkair, 8, 0, 0.5, 4.0), -1)
        self.assertEqual(T.IHwInfoDevDetail_MKAIR_GetCalibData(mkair, 8, 0)[0], -1)


class ProxyModule(unittest.TestCase):

    def test_proxy_classes_mirror_the_hierarchy(self):
        self.assertTrue(issubclass(TORVANE.IHwInfoTestDetail_Cpu_V4, TORVANE.IHwInfoDevDetail_Cpu_V4))
        self.assertTrue(issubclass(TORVANE.IHwInfoDevDetail_Cpu_V4, TORVANE.IHwInfo))
        self.assertTrue(issubclass(TORVANE.IHwInfoTest_Common_V3, TORVANE.IHwInfoDev_Common_V3))
        self.assertFalse(issubclass(TORVANE.IHwInfoDevDetail_Cpu_V3, TORVANE.IHwInfoDevDetail_Cpu_V2))

    def test_proxy_chain_round_trip(self):
        root = TORVANE.IHwInfoRoot()
        base = TORVANE.IHwInfoBase(root)
        common = TORVANE.IHwInfoTest_Common_V3(base)
        hmi = TORVANE.IHwInfoTestDetail_HMI(common)
        self.assertEqual(hmi.SetContrastOffset(-5), 0)
        buf = TORVANE.new_Eprom(512)
        hmi.Write(buf)
        self.assertEqual(buffer_bytes(buf, 8)[4:8], [3, 0, 1, 4])
        reader = TORVANE.IHwInfoDevDetail_HMI(TORVANE.IHwInfoDev_Common_V3(TORVANE.IHwInfoBase(TORVANE.IHwInfoRoot())))
        self.assertIs(reader.Read(buf), True)
        self.assertEqual(reader.GetContrastOffset(), 65531)
        self.assertEqual(reader.UsedBytes(), 82)
        self.assertTrue(repr(hmi.m_HwInfo).startswith("<Swig Object of type 'HwInfo *'"))
        TORVANE.delete_Eprom(buf)


if __name__ == '__main__':
    unittest.main()
