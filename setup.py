"""The build step of pyproject.toml: builds ffsimage, _Kestor and _TORVANE
with the project's CMake for the interpreter running this script, then
copies the package and the two modules with their proxies into the wheel.

RELAY_BUILD_DIR names an existing CMake build directory to reuse (its modules
must be built for this interpreter); otherwise build/pip is configured once
(Release, no tests) and reused by later installs."""
import glob
import importlib.machinery
import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))
TARGETS = ['ffsimage', 'Kestor_py3', 'TORVANE_py3']
SUFFIX = importlib.machinery.EXTENSION_SUFFIXES[0]  # e.g. .cpython-311-x86_64-linux-gnu.so


class CMakeBuild(build_ext):
    """One CMake build for all three extensions."""

    def build_extensions(self):
        build_dir = os.environ.get('RELAY_BUILD_DIR') or os.path.join(HERE, 'build', 'pip')
        if not os.path.exists(os.path.join(build_dir, 'CMakeCache.txt')):
            generator = ['-G', 'Ninja'] if shutil.which('ninja') else []
            subprocess.check_call(['cmake', '-S', HERE, '-B', build_dir] + generator +
                                  ['-DCMAKE_BUILD_TYPE=Release', '-DRELAY_TESTS=OFF',
                                   '-DRELAY_PYTHON3_EXECUTABLE=' + sys.executable])
        subprocess.check_call(['cmake', '--build', build_dir, '--target'] + TARGETS)
        modules = os.path.join(build_dir, 'python3')
        wanted = ['_Kestor' + SUFFIX, '_TORVANE' + SUFFIX, 'Kestor.py', 'TORVANE.py',
                  os.path.join('ffsimage', '_ffsimage' + SUFFIX)]
        missing = [w for w in wanted if not os.path.exists(os.path.join(modules, w))]
        if missing:
            raise RuntimeError('%s holds no %s: it was configured for another interpreter than %s'
                               % (modules, ', '.join(missing), sys.executable))
        target = os.path.join(self.build_lib, 'ffsimage')
        if os.path.isdir(target):
            shutil.rmtree(target)
        shutil.copytree(os.path.join(modules, 'ffsimage'), target,
                        ignore=shutil.ignore_patterns('__pycache__'))
        for name in wanted[:4]:
            shutil.copy2(os.path.join(modules, name), self.build_lib)
        for stale in glob.glob(os.path.join(target, '_ffsimage.*')):
            if not stale.endswith(SUFFIX):
                os.remove(stale)


setup(
    ext_modules=[Extension('ffsimage._ffsimage', sources=[]), Extension('_Kestor', sources=[]),
                 Extension('_TORVANE', sources=[])],
    cmdclass={'build_ext': CMakeBuild},
)
