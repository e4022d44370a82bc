"""The install step: `cmake --install` of the build into a fresh prefix puts
vorel and ffsinspect into bin/ and both modules with their proxies into this interpreter's site
directory below the prefix; a fresh interpreter that has only that directory on
its path (no site packages, no environment) imports both modules from there and
uses them."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from kestor_support import engine_bytes, model

MAJOR = sys.version_info[0]
SITE_DIR = os.environ['RELAY_PYTHON%d_INSTALL_DIR' % MAJOR]

# Run by the fresh interpreter: argv[1] is the site directory, argv[2] a model file.
CHILD = r'''
import sys
site = sys.argv[1]
sys.path.insert(0, site)
import Kestor, TORVANE, _Kestor, _TORVANE
for module in (Kestor, TORVANE, _Kestor, _TORVANE):
    assert module.__file__.startswith(site + '/'), module.__file__
hmi = TORVANE.IHwInfoTestDetail_HMI(TORVANE.IHwInfoTest_Common(TORVANE.IHwInfoBase(TORVANE.IHwInfoRoot())))
assert hmi.SetContrastOffset(-5) == 0
buf = TORVANE.new_Eprom(512)
hmi.Write(buf)
reader = TORVANE.IHwInfoDevDetail_HMI(TORVANE.IHwInfoDev_Common(TORVANE.IHwInfoBase(TORVANE.IHwInfoRoot())))
assert reader.Read(buf) is True and reader.GetContrastOffset() == 65531
TORVANE.delete_Eprom(buf)
with open(sys.argv[2], 'rb') as f:
    creator = Kestor.DeviceModelCreator(f.read())
assert creator.CreateCustomerDeviceParameter('installed', 'now') is True
text = creator.WriteCustomerAllParameter('a', 'b')
assert text.startswith('<?xml ') and text.endswith('-->\n') and '<!--CHECKSUM:' in text, text
sys.stdout.write(creator.GetTypecode())
'''


def run(command, cwd):
    child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=cwd,
                             universal_newlines=True)
    out, err = child.communicate()
    return child.returncode, out, err


class Install(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        if os.path.isabs(SITE_DIR):
            raise unittest.SkipTest('the modules are configured to install outside the prefix: ' + SITE_DIR)
        cls.work = tempfile.mkdtemp()
        cls.prefix = os.path.join(cls.work, 'prefix')
        cls.status, cls.out, cls.err = run(
            [os.environ['RELAY_CMAKE'], '--install', os.environ['RELAY_BUILD_DIR'], '--prefix', cls.prefix], cls.work)
        cls.site = os.path.join(cls.prefix, SITE_DIR)
        cls.model = os.path.join(cls.work, 'model.xml')
        with open(cls.model, 'wb') as f:
            f.write(engine_bytes(model()))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def setUp(self):
        self.assertEqual(self.status, 0, self.err)

    def test_files_land_in_bin_and_the_site_directory(self):
        self.assertTrue(SITE_DIR.startswith('lib/python%d.' % MAJOR), SITE_DIR)
        names = sorted(os.listdir(self.site))
        self.assertEqual([n for n in names if n.endswith('.py')], ['Kestor.py', 'TORVANE.py'])
        for module in ('_Kestor', '_TORVANE'):
            built = [n for n in names if n.startswith(module + '.') and n.endswith('.so')]
            self.assertEqual(len(built), 1, names)
            if MAJOR >= 3:
                self.assertIn('.cpython-', built[0])
        for program in ('vorel', 'ffsinspect'):
            self.assertTrue(os.access(os.path.join(self.prefix, 'bin', program), os.X_OK), program)

    def test_installed_vorel_and_ffsinspect_run(self):
        vorel = os.path.join(self.prefix, 'bin', 'vorel')
        status, out, _ = run([vorel], self.work)
        self.assertEqual(status, 255)  # exit code -1: no direction given
        self.assertIn('\nError: ', out)
        source = os.path.join(self.work, 'tree')
        os.makedirs(os.path.join(source, 'sub'))
        payload = bytes(bytearray(range(256))) * 3
        with open(os.path.join(source, 'sub', 'data.bin'), 'wb') as f:
            f.write(payload)
        image = os.path.join(self.work, 'image.bin')
        status, out, _ = run([vorel, '-dir:ptf', '-src:' + source, '-dst:' + image, '-size:4194304',
                              '-flashType:MX29LV640B'], self.work)
        self.assertEqual(status, 0, out)
        self.assertEqual(os.path.getsize(image), 4194304)
        back = os.path.join(self.work, 'back')
        status, out, _ = run([vorel, '-dir:ftp', '-src:' + image, '-dst:' + back, '-flashType:MX29LV640B'],
                             self.work)
        self.assertEqual(status, 0, out)
        with open(os.path.join(back, 'sub', 'data.bin'), 'rb') as f:
            self.assertEqual(f.read(), payload)
        # The installed checker finds the image vorel made sound.
        inspect = os.path.join(self.prefix, 'bin', 'ffsinspect')
        status, out, _ = run([inspect, image, 'check', '-flashType:MX29LV640B'], self.work)
        self.assertEqual(status, 0, out)
        status, out, _ = run([inspect, image, 'list', '-flashType:MX29LV640B'], self.work)
        self.assertEqual(status, 0, out)
        self.assertIn('data.bin', out)

    def test_fresh_interpreter_imports_both_modules_from_the_prefix(self):
        status, out, err = run([sys.executable, '-E', '-S', '-c', CHILD, self.site, self.model], self.work)
        self.assertEqual(status, 0, err)
        self.assertEqual(out, 'DEV1')

    def test_without_the_prefix_the_modules_are_not_found(self):
        status, _, err = run([sys.executable, '-E', '-S', '-c', CHILD, self.work, self.model], self.work)
        self.assertNotEqual(status, 0)
        self.assertIn("No module named", err)


if __name__ == '__main__':
    unittest.main()
