"""scripts/examples.sh (what scripts/run.sh ends with): the results of the
examples stay in a folder under the build directory, and the last lines name
that folder, the built programs and the module directories."""
import os
import subprocess
import sys
import unittest

SCRIPT = os.environ['RELAY_EXAMPLES_SCRIPT']
BUILD = os.environ['RELAY_BUILD_DIR']


class ExamplesScript(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        child = subprocess.Popen(['bash', SCRIPT, BUILD], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                 universal_newlines=True)
        cls.out, cls.err = child.communicate()
        cls.lines = cls.out.rstrip('\n').split('\n')

    def test_results_stay_in_the_folder_named_last(self):
        prefix = '== results kept in: '
        self.assertTrue(self.lines[-1].startswith(prefix), self.out[-2000:])
        folder = self.lines[-1][len(prefix):]
        self.assertEqual(os.path.dirname(folder), os.path.realpath(BUILD))
        self.assertEqual(os.path.getsize(os.path.join(folder, 'example.img')), 4194304)
        self.assertTrue(os.path.isdir(os.path.join(folder, 'tree_back')))
        self.assertIn('== round trip: the tree read back equals the source tree', self.out)
        self.assertIn('ffsimage_tree.py exit code: 0', self.out)
        self.assertEqual(os.path.getsize(os.path.join(folder, 'ffsimage.img')), 4194304)

    def test_programs_and_modules_are_named(self):
        programs = [l for l in self.lines[-4:] if l.startswith('== programs: ')]
        self.assertEqual(len(programs), 1, self.lines[-4:])
        for path in programs[0][len('== programs: '):].split(', '):
            self.assertTrue(os.access(path, os.X_OK), path)
        modules = [l for l in self.lines[-4:] if l.startswith('== Python modules: ')]
        self.assertEqual(len(modules), 1, self.lines[-4:])
        for part in modules[0][len('== Python modules: '):].split(', '):
            self.assertTrue(os.path.isdir(part.split(' (')[0]), part)


if __name__ == '__main__':
    unittest.main()
