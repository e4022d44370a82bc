"""_Kestor from Python 2.7: every operation of DeviceModelCreator, the
argument checks and their exact messages, ownership, the calls outside the
supported order, the load failures (answered as False), the sequence classes,
and the binding conventions the module shares with _TORVANE."""
import hashlib
import sys
import unittest

import Kestor
import _Kestor
from kestor_support import ATTRIBUTES, INSIDE, body, engine_bytes, example_model, model, trailer


def created():
    creator = Kestor.DeviceModelCreator(model())
    assert creator.CreateCustomerDeviceParameter('gen', 'today') is True
    return creator


def accepted(text):
    return Kestor.DeviceModelCreator(text).CreateCustomerDeviceParameter('g', 'c')


class Operations(unittest.TestCase):
    def test_main_use(self):
        creator = Kestor.DeviceModelCreator(model())
        self.assertIs(creator.CreateCustomerDeviceParameter('gen', '2026-01-01'), True)
        text = creator.WriteCustomerAllParameter('me', 'now')
        self.assertEqual(type(text), str)
        head = ('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<root type="parameterFile" versionSyntax="16" device="DEV1" versionContent="1.0" '
                'generator="gen" created="2026-01-01" createdWithDmHandoff="" changedby="me" changed="now" '
                'changedWithDmHandoff="">\n'
                '\t<Params>\n\t\t<Prot>\n\t\t\t<Set setNo="0">\n\t\t\t\t<Limit>5</Limit>\n\t\t\t</Set>\n'
                '\t\t</Prot>\n\t</Params>\n</root>\n')
        self.assertEqual(text, head + trailer(head))
        self.assertEqual(creator.GetTypecode(), 'DEV1')
        self.assertEqual(creator.GetSwComponentSignatureVector(), ())
        self.assertIs(creator.SetTypecode('DEV1'), False)

    def test_written_text_carries_its_own_checksum(self):
        text = created().WriteCustomerAllParameter('a&b', '"<x>"')
        checked, line = text[:-65], text[-65:]
        self.assertEqual(line, trailer(checked))
        self.assertIn('changedby="a&amp;b" changed="&quot;&lt;x&gt;&quot;"', text)

    def test_second_write_changes_only_stamps_and_trailer(self):
        creator = created()
        first = creator.WriteCustomerAllParameter('a', 'b')
        second = creator.WriteCustomerAllParameter('c', 'd')
        self.assertEqual(first[:-65].replace('changedby="a" changed="b"', 'changedby="c" changed="d"'),
                         second[:-65])
        self.assertNotEqual(first[-65:], second[-65:])

    def test_caller_string_is_not_written_into(self):
        text = model()
        copy = text[:]
        creator = Kestor.DeviceModelCreator(text)
        self.assertTrue(creator.CreateCustomerDeviceParameter('g', 'c'))
        self.assertEqual(text, copy)

    def test_bundled_example_model_loads(self):
        creator = Kestor.DeviceModelCreator(example_model())
        self.assertTrue(creator.CreateCustomerDeviceParameter('g', 'c'))
        self.assertIn('productLine="Feeder"', creator.WriteCustomerAllParameter('a', 'b'))


class ExampleScript(unittest.TestCase):
    def test_generates_the_parameter_file_of_the_example(self):
        import os
        import subprocess
        import xml.etree.ElementTree as ET
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..')
        script = os.path.join(root, 'examples', 'generate_parameter_file.py')
        model_path = os.path.join(root, 'examples', 'device_model', 'relay_model.xml')
        process = subprocess.Popen([sys.executable, script, model_path], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        out, err = process.communicate()  # the parameter file as bytes, messages as text
        err = err.decode('utf-8', 'replace')
        self.assertEqual(process.returncode, 0, err)
        self.assertIn('type code: RX7', err)
        self.assertEqual(out[-65:], trailer(out[:-65]).encode('ascii'))
        tree = ET.fromstring(out)
        self.assertEqual(tree.tag, 'root')
        self.assertEqual(tree.get('device'), 'RX7')
        self.assertEqual(tree.get('productLine'), 'Feeder')
        self.assertEqual(tree.get('changedWithDmHandoff'), 'HO-2026-11')

    def test_rejected_model(self):
        import os
        import subprocess
        import tempfile
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'examples',
                              'generate_parameter_file.py')
        handle, path = tempfile.mkstemp(suffix='.xml')
        try:
            os.write(handle, engine_bytes(body()))
            os.close(handle)
            process = subprocess.Popen([sys.executable, script, path], stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE)
            out, err = process.communicate()
        finally:
            os.remove(path)
        self.assertEqual(process.returncode, 1)
        self.assertEqual(out, b'')
        self.assertIn(b'rejected (code 1: Invalid device model! Missing or invalid checksum)', err)


class OutOfOrder(unittest.TestCase):
    def test_before_a_successful_load(self):
        creator = Kestor.DeviceModelCreator(model())
        self.assertIs(creator.SetTypecode('DEV1'), False)
        self.assertEqual(creator.GetTypecode(), '')
        self.assertEqual(creator.WriteCustomerAllParameter('a', 'b'), '')
        self.assertEqual(creator.GetSwComponentSignatureVector(), ())

    def test_after_a_rejected_load(self):
        creator = Kestor.DeviceModelCreator('<root/>')
        self.assertIs(creator.CreateCustomerDeviceParameter('g', 'c'), False)
        self.assertEqual(creator.WriteCustomerAllParameter('a', 'b'), '')
        self.assertEqual(creator.GetTypecode(), '')

    def test_second_create_is_refused(self):
        creator = created()
        self.assertIs(creator.CreateCustomerDeviceParameter('g', 'c'), False)
        self.assertNotEqual(creator.WriteCustomerAllParameter('a', 'b'), '')

    def test_none_for_texts(self):
        self.assertIs(Kestor.DeviceModelCreator(None).CreateCustomerDeviceParameter('g', 'c'), False)
        creator = Kestor.DeviceModelCreator(model())
        self.assertIs(creator.CreateCustomerDeviceParameter(None, 'c'), False)
        self.assertIs(creator.CreateCustomerDeviceParameter('g', None), False)
        self.assertIs(creator.CreateCustomerDeviceParameter('g', 'c'), True)  # the refusals kept the text
        self.assertIs(creator.SetTypecode(None), False)
        self.assertEqual(creator.WriteCustomerAllParameter(None, 'b'), '')
        self.assertEqual(creator.WriteCustomerAllParameter('a', None), '')


class LoadFailures(unittest.TestCase):
    def test_checksum(self):
        good = model()
        self.assertTrue(accepted(good))
        digest_at = good.index('CHECKSUM:') + 9
        self.assertFalse(accepted(good[:digest_at] + '0' * 32 + good[digest_at + 32:]))
        self.assertFalse(accepted(good[:digest_at] + good[digest_at:digest_at + 32].upper() + good[digest_at + 32:]))
        self.assertFalse(accepted(good.replace('<Params', ' <Params', 1)))
        length_at = good.index(' LENGTH:') + 8
        self.assertTrue(accepted(good[:length_at] + 'deadbeef' + good[length_at + 8:]))
        self.assertFalse(accepted(body()))

    def test_short_and_empty_texts(self):
        self.assertFalse(accepted(''))
        self.assertFalse(accepted('x' * 64))
        self.assertFalse(accepted(model()[-64:]))

    def test_syntax_versions(self):
        def with_syntax(version):
            return model(ATTRIBUTES.replace('versionSyntax="16"', 'versionSyntax="%s"' % version))
        for version, expected in (('1', False), ('2', True), ('16', True), ('17', False), ('16abc', True)):
            self.assertIs(accepted(with_syntax(version)), expected, version)

    def test_main_attributes(self):
        for name in ('device', 'versionContent', 'multiSets', 'versionSyntax'):
            value = ATTRIBUTES.split(name + '="')[1].split('"')[0]
            missing = ATTRIBUTES.replace('%s="%s"' % (name, value), '')
            empty = ATTRIBUTES.replace('%s="%s"' % (name, value), '%s=""' % name)
            self.assertFalse(accepted(model(missing)), name)
            self.assertFalse(accepted(model(empty)), name)

    def test_menu_tree(self):
        self.assertFalse(accepted(model(inside=INSIDE.replace(' mode="menuTree"', ''))))
        self.assertFalse(accepted(model(inside=INSIDE.replace('type="root"', 'type="main"'))))

    def test_malformed(self):
        self.assertFalse(accepted(model(inside=INSIDE.replace('</Hmi>', ''))))
        self.assertFalse(accepted(model(inside=INSIDE.replace('default="5"', 'default="5'))))
        self.assertFalse(accepted(model(inside=INSIDE + '\t<\n')))


class ArgumentChecks(unittest.TestCase):
    def assertTypeError(self, call, message):
        with self.assertRaises(TypeError) as caught:
            call()
        self.assertEqual(str(caught.exception), message)

    def test_type_error_texts(self):
        creator = created()
        cases = [
            (lambda: _Kestor.new_DeviceModelCreator(1), 'new_DeviceModelCreator', 1, 'char *'),
            (lambda: _Kestor.delete_DeviceModelCreator(1), 'delete_DeviceModelCreator', 1, 'DeviceModelCreator *'),
            (lambda: _Kestor.DeviceModelCreator_CreateCustomerDeviceParameter(1, 'a', 'b'),
             'DeviceModelCreator_CreateCustomerDeviceParameter', 1, 'DeviceModelCreator *'),
            (lambda: _Kestor.DeviceModelCreator_CreateCustomerDeviceParameter(creator, 2, 'b'),
             'DeviceModelCreator_CreateCustomerDeviceParameter', 2, 'char *'),
            (lambda: _Kestor.DeviceModelCreator_CreateCustomerDeviceParameter(creator, 'a', 3),
             'DeviceModelCreator_CreateCustomerDeviceParameter', 3, 'char *'),
            (lambda: _Kestor.DeviceModelCreator_SetTypecode('x', 'a'),
             'DeviceModelCreator_SetTypecode', 1, 'DeviceModelCreator *'),
            (lambda: _Kestor.DeviceModelCreator_SetTypecode(creator, 2.5),
             'DeviceModelCreator_SetTypecode', 2, 'char *'),
            (lambda: _Kestor.DeviceModelCreator_GetTypecode(None),
             'DeviceModelCreator_GetTypecode', 1, 'DeviceModelCreator *'),
            (lambda: _Kestor.DeviceModelCreator_SetTypecode(None, 'a'),
             'DeviceModelCreator_SetTypecode', 1, 'DeviceModelCreator *'),
            (lambda: _Kestor.delete_DeviceModelCreator(None), 'delete_DeviceModelCreator', 1, 'DeviceModelCreator *'),
            (lambda: _Kestor.DeviceModelCreator_WriteCustomerAllParameter([], 'a', 'b'),
             'DeviceModelCreator_WriteCustomerAllParameter', 1, 'DeviceModelCreator *'),
            (lambda: _Kestor.DeviceModelCreator_WriteCustomerAllParameter(creator, {}, 'b'),
             'DeviceModelCreator_WriteCustomerAllParameter', 2, 'char *'),
            (lambda: _Kestor.DeviceModelCreator_WriteCustomerAllParameter(creator, 'a', ()),
             'DeviceModelCreator_WriteCustomerAllParameter', 3, 'char *'),
            (lambda: _Kestor.DeviceModelCreator_GetSwComponentSignatureVector(Kestor.StringVector()),
             'DeviceModelCreator_GetSwComponentSignatureVector', 1, 'DeviceModelCreator *'),
        ]
        for call, name, number, declared in cases:
            self.assertTypeError(call, "in method '%s', argument %d of type '%s'" % (name, number, declared))

    def test_wrong_argument_counts(self):
        creator = created()
        cases = [
            (lambda: _Kestor.new_DeviceModelCreator(), 'new_DeviceModelCreator', 1, 0),
            (lambda: _Kestor.new_DeviceModelCreator('a', 'b'), 'new_DeviceModelCreator', 1, 2),
            (lambda: _Kestor.delete_DeviceModelCreator(), 'delete_DeviceModelCreator', 1, 0),
            (lambda: _Kestor.DeviceModelCreator_CreateCustomerDeviceParameter(creator, 'a'),
             'DeviceModelCreator_CreateCustomerDeviceParameter', 3, 2),
            (lambda: _Kestor.DeviceModelCreator_SetTypecode(creator), 'DeviceModelCreator_SetTypecode', 2, 1),
            (lambda: _Kestor.DeviceModelCreator_GetTypecode(creator, 1), 'DeviceModelCreator_GetTypecode', 1, 2),
            (lambda: _Kestor.DeviceModelCreator_WriteCustomerAllParameter(creator, 'a', 'b', 'c'),
             'DeviceModelCreator_WriteCustomerAllParameter', 3, 4),
            (lambda: _Kestor.DeviceModelCreator_GetSwComponentSignatureVector(),
             'DeviceModelCreator_GetSwComponentSignatureVector', 1, 0),
        ]
        for call, name, wanted, given in cases:
            self.assertTypeError(call, '%s() takes exactly %d argument%s (%d given)' %
                                 (name, wanted, '' if wanted == 1 else 's', given))

    def test_flat_functions_work_on_proxies(self):
        creator = _Kestor.new_DeviceModelCreator(model())
        self.assertIs(_Kestor.DeviceModelCreator_CreateCustomerDeviceParameter(creator, 'g', 'c'), True)
        self.assertEqual(_Kestor.DeviceModelCreator_GetTypecode(creator), 'DEV1')
        self.assertEqual(_Kestor.DeviceModelCreator_GetSwComponentSignatureVector(creator), ())
        self.assertTrue(_Kestor.DeviceModelCreator_WriteCustomerAllParameter(creator, 'a', 'b').endswith('-->\n'))
        _Kestor.delete_DeviceModelCreator(creator)


def resident_kilobytes():
    with open('/proc/self/status') as status:
        for line in status:
            if line.startswith('VmRSS:'):
                return int(line.split()[1])
    return 0


class Ownership(unittest.TestCase):
    def test_python_owns_the_creator(self):
        creator = Kestor.DeviceModelCreator(model())
        self.assertTrue(creator.thisown)
        self.assertIn("<Swig Object of type 'DeviceModelCreator *' at 0x", repr(creator.this))

    def test_thousands_of_creators_do_not_grow_memory(self):
        text = model()
        def cycle(count):
            for _ in range(count):
                creator = Kestor.DeviceModelCreator(text)
                creator.CreateCustomerDeviceParameter('g', 'c')
                creator.WriteCustomerAllParameter('a', 'b')
                del creator
        cycle(500)  # warm up the allocators
        before = resident_kilobytes()
        cycle(4000)
        growth = resident_kilobytes() - before
        # A leaked creator would keep its text copy and both documents:
        # several kilobytes each, tens of megabytes for the run.
        self.assertLess(growth, 4096, 'resident memory grew by %d kB' % growth)


class SequencesAndConventions(unittest.TestCase):
    def test_string_and_int_vectors(self):
        strings = Kestor.StringVector()
        strings.append('a')
        strings.push_back('b')
        self.assertEqual(list(strings), ['a', 'b'])
        self.assertEqual(len(strings), 2)
        self.assertEqual(strings[1], 'b')
        numbers = Kestor.IntVector(3, 7)
        numbers[0] = -1
        self.assertEqual(tuple(numbers), (-1, 7, 7))
        with self.assertRaises(IndexError):
            numbers[5]

    def test_overload_count_error(self):
        with self.assertRaises(NotImplementedError) as caught:
            _Kestor.StringVector___delitem__(Kestor.StringVector())
        self.assertEqual(str(caught.exception),
                         "Wrong number of arguments for overloaded function 'StringVector___delitem__'.\n"
                         "  Possible C/C++ prototypes are:\n"
                         "    __delitem__(std::vector< std::string >::difference_type)\n"
                         "    __delitem__(PySliceObject *)\n")

    def test_wrapped_object_methods(self):
        this = Kestor.DeviceModelCreator(model()).this
        self.assertEqual(this.acquire.__doc__, 'aquires ownership of the pointer')
        self.assertEqual(this.disown.__doc__, 'releases ownership of the pointer')
        self.assertEqual(this.own.__doc__, 'returns/sets ownership of the pointer')

    def test_shared_type_table(self):
        self.assertIn('swig_runtime_data3', sys.modules)
        self.assertTrue(hasattr(sys.modules['swig_runtime_data3'], 'type_pointer'))
        self.assertFalse(hasattr(sys.modules['swig_runtime_data3'], 'type_pointer_capsule'))


if __name__ == '__main__':
    unittest.main()
