"""The pip install: a fresh virtual environment of this interpreter gets the
three modules from `pip install --no-build-isolation .` (offline, reusing
this build), and a script run outside the source tree, without the build on
its path, imports and uses all three from the environment.
`python3 -m build --no-isolation --wheel` makes a wheel holding them."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

SOURCE = os.environ['RELAY_SOURCE_DIR']
BUILD = os.environ['RELAY_BUILD_DIR']

CHILD = r'''
import os, sys
import ffsimage, Kestor, TORVANE, _Kestor, _TORVANE
site = sys.argv[1]
for module in (ffsimage, Kestor, TORVANE, _Kestor, _TORVANE):
    assert os.path.realpath(module.__file__).startswith(os.path.realpath(site)), module.__file__
with ffsimage.create('relay.img', 1 << 20, 'MX29LV640B') as image:
    image.write_bytes('/a', b'installed')
with ffsimage.open('relay.img', 'MX29LV640B') as image:
    assert image.read_bytes('/a') == b'installed' and image.check() == []
cpu = TORVANE.IHwInfoTestDetail_Cpu_V4(TORVANE.IHwInfoTest_Common_V3(TORVANE.IHwInfoBase(TORVANE.IHwInfoRoot())))
assert cpu.SetSerialNumber('RL000042') == 0
assert Kestor.DeviceModelCreator(b'<x/>').CreateCustomerDeviceParameter('a', 'b') is False
print('ok')
'''


def run(command, cwd, env=None):
    child = subprocess.Popen(command, cwd=cwd, env=env, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, universal_newlines=True)
    out, _ = child.communicate()
    return child.returncode, out


class PipInstall(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix='relay-pip-')
        # The build on PYTHONPATH must not stand in for the installed modules.
        cls.env = {k: v for k, v in os.environ.items() if k != 'PYTHONPATH'}
        cls.env['RELAY_BUILD_DIR'] = BUILD
        cls.env['PIP_NO_INDEX'] = '1'
        cls.env['PIP_DISABLE_PIP_VERSION_CHECK'] = '1'

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def test_pip_install_into_a_fresh_environment(self):
        venv = os.path.join(self.work, 'venv')
        status, out = run([sys.executable, '-m', 'venv', '--system-site-packages', venv], self.work, self.env)
        self.assertEqual(status, 0, out)
        python = os.path.join(venv, 'bin', 'python')
        status, out = run([python, '-m', 'pip', 'install', '--no-build-isolation', SOURCE], self.work, self.env)
        self.assertEqual(status, 0, out)
        status, site = run([python, '-c', 'import sysconfig; print(sysconfig.get_path("platlib"))'],
                           self.work, self.env)
        status, out = run([python, '-c', CHILD, site.strip()], self.work, self.env)
        self.assertEqual((status, out.strip()), (0, 'ok'), out)

    def test_build_makes_a_wheel(self):
        out_dir = os.path.join(self.work, 'dist')
        status, out = run([sys.executable, '-m', 'build', '--no-isolation', '--wheel', '--outdir', out_dir, SOURCE],
                          self.work, self.env)
        self.assertEqual(status, 0, out)
        wheels = os.listdir(out_dir)
        self.assertEqual(len(wheels), 1, wheels)
        self.assertIn('-cp%d%d-' % sys.version_info[:2], wheels[0])
        names = set(zipfile.ZipFile(os.path.join(out_dir, wheels[0])).namelist())
        suffix = [n for n in names if n.startswith('_Kestor.')][0][len('_Kestor'):]
        for name in ['Kestor.py', 'TORVANE.py', '_Kestor' + suffix, '_TORVANE' + suffix,
                     'ffsimage/__init__.py', 'ffsimage/__init__.pyi', 'ffsimage/py.typed',
                     'ffsimage/_ffsimage' + suffix]:
            self.assertIn(name, names)


if __name__ == '__main__':
    unittest.main()
