"""Hostile arguments for every operation of ffsimage, the package's and its
C++ half's alike: each position of each call gets every hostile value while
the others stay valid. Batches run in child processes; a child that dies
(a crash, an abort of the sanitizers) fails the test and names the call. A
call may raise TypeError, ValueError, OverflowError or OSError, nothing else."""
import os
import subprocess
import sys
import tempfile
import unittest

HOSTILE = [
    'None', '-1', '0', '2**31', '2**63', '-2**63', '2**64', '1.5', "float('nan')", "''", "'x' * 100000",
    "b'\\0'", "b'/' * 5000", "'\\udcff'", "'/../' * 300", 'object()', '[]', 'bytearray(b"x")',
    'memoryview(b"abcd")[::2]', "'/' + 'a' * 65", "b'TmpDisc'", "'//TmpDisc/..'",
]

# (target, name, valid arguments as source texts). Targets: M the module,
# I an Image, F a File open for reading and writing, N the C++ image, H a handle of it.
CALLS = [
    ('M', 'create', ["D + '/new.img'", 'MIB', "'MX29LV640B'"]),
    ('M', 'open', ["D + '/x.img'", "'MX29LV640B'", 'False']),
    ('I', 'listdir', ["'/'"]), ('I', 'scandir', ["'/d'"]), ('I', 'stat', ["'/f'"]),
    ('I', 'exists', ["'/f'"]), ('I', 'is_dir', ["'/d'"]), ('I', 'is_file', ["'/f'"]),
    ('I', 'mkdir', ["'/e'"]), ('I', 'makedirs', ["'/m/n'", 'True']), ('I', 'remove', ["'/g'"]),
    ('I', 'rmdir', ["'/e'"]), ('I', 'rename', ["'/f'", "'/f2'"]), ('I', 'read_bytes', ["'/f'"]),
    ('I', 'write_bytes', ["'/w'", "b'data'"]), ('I', 'open', ["'/f'", "'rb'"]),
    ('I', 'copy_in', ["D + '/tree'", "'/'"]), ('I', 'copy_out', ["'/'", "D + '/out'"]),
    ('I', 'walk', ["'/'"]), ('I', 'check', []), ('I', 'info', []), ('I', 'sync', []),
    ('F', 'read', ['10']), ('F', 'readinto', ['bytearray(10)']), ('F', 'write', ["b'abc'"]),
    ('F', 'seek', ['0', '0']), ('F', 'truncate', ['3']), ('F', 'tell', []),
    ('N', 'listdir', ["b'/'"]), ('N', 'stat', ["b'/f'"]), ('N', 'open_file', ["b'/f'", '2']),
    ('N', 'read', ['H', '10']), ('N', 'write', ['H', "b'x'"]), ('N', 'seek', ['H', '0', '0']),
    ('N', 'tell', ['H']), ('N', 'truncate', ['H', '1']), ('N', 'close_file', ['H']),
    ('N', 'rename', ["b'/f'", "b'/f3'"]), ('N', 'copy_in', ["D.encode() + b'/tree'", "b'/'"]),
]

ALLOWED = (TypeError, ValueError, OverflowError, OSError)

CHILD_SETUP = '''
import os, sys, ffsimage
MIB = 1 << 20
D = sys.argv[2]  # the child's work directory (argv[1] is 'child')
os.makedirs(D + '/tree/sub', exist_ok=True)
open(D + '/tree/sub/t', 'wb').write(b't')
image = ffsimage.create(D + '/x.img', MIB, 'MX29LV640B')
image.mkdir('/d'); image.write_bytes('/f', b'0123456789'); image.write_bytes('/g', b'')
'''


def plan():
    """Every call: (description, target, name, argument texts)."""
    calls = []
    for target, name, valid in CALLS:
        calls.append((target, name, list(valid)))
        for position in range(len(valid) + 1):
            for value in HOSTILE:
                args = list(valid)
                if position < len(valid):
                    args[position] = value
                else:
                    args.append(value)  # one argument too many
                calls.append((target, name, args))
    return calls


def child(directory, first, end):
    exec(CHILD_SETUP, globals())  # noqa: builds `image` in D
    for number, (target, name, args) in enumerate(plan()[first:end], first):
        sys.stdout.write('%d\n' % number)
        sys.stdout.flush()
        try:
            if target == 'M':
                image.close()  # noqa: F821 - made by CHILD_SETUP
            environment = dict(globals())
            if target in 'FNH':
                if image.closed:  # noqa: F821
                    globals()['image'] = __import__('ffsimage').open(D + '/x.img', 'MX29LV640B', True)  # noqa: F821
                environment['image'] = image  # noqa: F821
                native = image._native  # noqa: F821
                environment['H'] = native.open_file(b'/f', 2) if target == 'N' else None
                obj = image.open('/f', 'r+b') if target == 'F' else native  # noqa: F821
            else:
                obj = __import__('ffsimage') if target == 'M' else image  # noqa: F821
            values = [eval(a, environment) for a in args]
            result = getattr(obj, name)(*values)
            if name == 'walk':
                list(result)
            if target == 'M' and hasattr(result, 'close'):
                result.close()
            if target == 'F':
                obj.close()
            if target == 'N' and environment['H'] is not None:
                native.close_file(environment['H'])
        except ALLOWED:
            pass
        if target == 'M' or image.closed:  # noqa: F821
            globals()['image'] = __import__('ffsimage').open(D + '/x.img', 'MX29LV640B', True)
    sys.stdout.write('done\n')


class Hostile(unittest.TestCase):

    def test_no_argument_crashes_the_interpreter(self):
        total = len(plan())
        self.assertGreater(total, 2000)
        batch = 400
        for first in range(0, total, batch):
            end = min(first + batch, total)
            work = tempfile.mkdtemp(prefix='ffsimage-hostile-')
            proc = subprocess.Popen([sys.executable, __file__, 'child', work, str(first), str(end)],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True,
                                    cwd=work)  # relative hostile paths land in the work directory
            out, err = proc.communicate()
            subprocess.call(['rm', '-rf', work])
            lines = out.split()
            last = int(lines[-1]) if lines and lines[-1] != 'done' else None
            self.assertEqual((proc.returncode, lines[-1:] if lines else None), (0, ['done']),
                             'call %s: %r\n%s' % (last, plan()[last] if last is not None else None, err[-3000:]))


if __name__ == '__main__':
    if len(sys.argv) > 1 and sys.argv[1] == 'child':
        child(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    else:
        unittest.main()
