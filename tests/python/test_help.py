# help() on both modules and their proxy classes: every operation shows its
# arguments with their types, its result, and what it does.
import pydoc
import unittest

import Kestor
import TORVANE
import _Kestor
import _TORVANE

# Sequence and iterator members are the standard sequence operations, and the
# registration functions are called by the proxy modules only: their
# signatures are enough.
SIGNATURE_ONLY = ('StringVector', 'IntVector', 'SwigPyIterator', 'new_StringVector', 'new_IntVector',
                  'delete_StringVector', 'delete_IntVector', 'delete_SwigPyIterator', 'new_', 'delete_', 'SWIG_')


def operations(module):
    for name in sorted(dir(module)):
        if not name.startswith('__') and callable(getattr(module, name)) and \
                not name.endswith(('_swigregister', '_swiginit')):
            yield name, getattr(module, name)


class Help(unittest.TestCase):
    def test_every_flat_function_shows_arguments_result_and_meaning(self):
        for module in (_TORVANE, _Kestor):
            for name, function in operations(module):
                doc = (function.__doc__ or '').strip()
                if name.startswith(('SWIG_', 'SwigPyIterator', 'delete_SwigPyIterator')):
                    continue
                if name.startswith(SIGNATURE_ONLY):
                    self.assertIn('(', doc, name)
                    continue
                self.assertTrue(doc.startswith(name + '('), '%s: %r' % (name, doc[:80]))
                description = doc.split('\n\n')[-1]
                self.assertNotIn('Parameters', description, name)
                self.assertGreater(len(description.split()), 8, '%s: %r' % (name, description))

    def test_results_are_named(self):
        cases = [(_Kestor.DeviceModelCreator_GetLoadResult, '-> (code, message)'),
                 (_Kestor.DeviceModelCreator_CreateCustomerDeviceParameter, '-> bool'),
                 (_Kestor.DeviceModelCreator_GetSwComponentSignatureVector, '-> tuple of str'),
                 (_TORVANE.IHwInfoDevDetail_FADC_GetCalibData, '-> (result, a, b[, c])'),
                 (_TORVANE.IHwInfoBase_Read, '-> bool'),
                 (_TORVANE.new_Eprom, '-> buffer')]
        for function, result in cases:
            self.assertIn(result, function.__doc__)

    def test_help_of_modules_and_classes(self):
        for subject, expected in [(_Kestor, 'GetLoadResult() -> (code, message)'),
                                  (Kestor.DeviceModelCreator, 'WriteCustomerAllParameter(changedby, changed) -> str'),
                                  (Kestor.StringVector, 'a sequence of strings'),
                                  (_TORVANE, 'Eprom_get(buffer, i) -> int'),
                                  (TORVANE.IHwInfoTestDetail_Cpu_V4, 'Sets the board serial number'),
                                  (TORVANE.IHwInfoRoot, 'owning the 512-byte EEPROM image')]:
            text = pydoc.plain(pydoc.render_doc(subject))
            self.assertIn(expected, text.replace('\n    ', '\n'), subject)

    def test_every_proxy_method_says_what_it_does(self):
        for module in (Kestor, TORVANE):
            for class_name in dir(module):
                cls = getattr(module, class_name)
                if not isinstance(cls, type) or not class_name.startswith(('IHwInfo', 'DeviceModelCreator')):
                    continue
                self.assertGreater(len((cls.__doc__ or '').split()), 8, class_name)
                for name in dir(cls):
                    if name.startswith('_') or name in ('thisown', 'this'):
                        continue
                    doc = getattr(cls, name).__doc__ or ''
                    self.assertGreater(len(doc.split()), 12, '%s.%s: %r' % (class_name, name, doc))


if __name__ == '__main__':
    unittest.main()
