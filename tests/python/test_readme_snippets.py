# The README's Python snippets: each one says which interpreter it is written
# for and runs as written under the interpreter running this suite (the suite
# runs under Python 2.7 and Python 3), in a directory holding the example
# model as model.xml.
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..')
BLOCK = re.compile(r'((?:[^\n]*\n){1,3})```python\n(.*?)```', re.S)


def snippets():
    with open(os.path.join(ROOT, 'README.md')) as f:
        return BLOCK.findall(f.read())


class ReadmeSnippets(unittest.TestCase):
    def test_each_snippet_names_its_interpreter(self):
        found = snippets()
        self.assertGreaterEqual(len(found), 4)
        for before, code in found:
            self.assertTrue(re.search(r'Python (2\.7|3)', before), before + code[:60])

    def test_each_snippet_runs_as_written(self):
        for before, code in snippets():
            if 'Python 3 only' in before and sys.version_info[0] < 3:
                continue  # ffsimage and the pip install are for Python 3
            directory = tempfile.mkdtemp()
            try:
                shutil.copy(os.path.join(ROOT, 'examples', 'device_model', 'relay_model.xml'),
                            os.path.join(directory, 'model.xml'))
                child = subprocess.Popen([sys.executable, '-c', code], cwd=directory, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, universal_newlines=True)
                out, err = child.communicate()
                self.assertEqual((child.returncode, err), (0, ''), code)
                self.assertTrue(out or os.path.exists(os.path.join(directory, 'parameters.xml')), code)
            finally:
                shutil.rmtree(directory)


if __name__ == '__main__':
    unittest.main()
