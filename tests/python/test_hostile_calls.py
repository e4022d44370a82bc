# No call from Python crashes the interpreter: every flat function of the
# modules named in HOSTILE_MODULES (default both), every argument position,
# every hostile value (hostile_sweep.py), in child processes of a few thousand
# calls each. A child that dies (signal, sanitizer report, any unfinished run)
# fails the test; its calls are then re-run one per child to name the culprit.
from __future__ import print_function

import os
import subprocess
import sys
import unittest

SWEEP = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'hostile_sweep.py')
BATCH = 4000
MAX_SINGLE_RUNS = 60


def child(*args):
    env = dict(os.environ)
    if 'ASAN_OPTIONS' in env:  # an allocation too large for the sanitizer fails as it does without it
        env['ASAN_OPTIONS'] += ':allocator_may_return_null=1'
    process = subprocess.Popen([sys.executable, SWEEP] + [str(a) for a in args], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, universal_newlines=True, env=env)
    out, err = process.communicate()
    return process.returncode, out, err


def finished(status, out):
    return status == 0 and out.rstrip().split('\n')[-1].startswith('done')


class HostileCalls(unittest.TestCase):

    def sweep(self, module):
        status, out, err = child(module, 'count')
        self.assertEqual(status, 0, 'planning the calls of %s died (status %d):\n%s' % (module, status, err[-3000:]))
        total = int(out.split()[-1])  # after any line the modules print
        self.assertGreater(total, 1000)
        for first in range(0, total, BATCH):
            status, out, err = child(module, first, first + BATCH)
            if not finished(status, out):
                self.fail(self.culprit(module, first, out, status, err))
        print('\n%s: %d hostile calls under Python %d.%d, none crashed' % ((module, total) + sys.version_info[:2]),
              file=sys.stderr)

    def culprit(self, module, first, out, status, err):
        started = [int(line) for line in out.split('\n') if line.isdigit()]
        last = started[-1] if started else first
        report = ['%s: calls from %d died at call %d (status %d)' % (module, first, last, status), err[-2000:]]
        for number in range(last, max(first, last - MAX_SINGLE_RUNS) - 1, -1):
            single_status, single_out, _ = child(module, number, number + 1)
            if not finished(single_status, single_out):
                report.append('crashes alone: %s' % child(module, 'describe', number)[1].strip())
                break
        else:
            report.append('no single call crashes alone; the last one started: %s' %
                          child(module, 'describe', last)[1].strip())
        return '\n'.join(report)

    def test_every_function_with_hostile_arguments(self):
        for module in os.environ.get('HOSTILE_MODULES', '_TORVANE _Kestor').split():
            self.sweep(module)


if __name__ == '__main__':
    unittest.main()
