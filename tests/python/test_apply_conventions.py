# The post-generation step that gives generated wrappers the binding
# conventions: each fragment rewritten exactly, and a loud failure (status 1,
# file untouched) whenever an expected fragment is missing.
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.environ['RELAY_APPLY_CONVENTIONS']

RUNTIME = '''#define SWIG_RUNTIME_VERSION "4"
# define SWIGPY_CAPSULE_ATTR_NAME "type_pointer_capsule_builtin" SWIG_TYPE_TABLE_NAME
# define SWIGPY_CAPSULE_ATTR_NAME "type_pointer_capsule" SWIG_TYPE_TABLE_NAME
  if (!PyArg_UnpackTuple(args, "own", 0, 1, &val)) {
  {"acquire", SwigPyObject_acquire, METH_NOARGS,  "acquires ownership of the pointer"},
    /* a PyObject is called 'this', try to get the 'real this'
       SwigPyObject from it */ 
    return SWIG_Python_GetSwigThis(obj);
  if (!SWIG_Python_UnpackTuple(args, "swigregister", 1, 1, &obj)) return NULL;
    PyErr_SetString(PyExc_TypeError, "Attempt to append a non SwigPyObject");
    return NULL;
  }
      Py_DECREF(SwigPyObject_append((PyObject*) sthis, obj[1]));
'''
WRAPPERS = '''  if (!PyArg_UnpackTuple(args, "new_A", 0, 0)) SWIG_fail;
  if (!PyArg_UnpackTuple(args, "A_Read", 2, 2, &obj0, &obj1)) SWIG_fail;
SWIGINTERN PyObject *_wrap_A_Read__SWIG_0(PyObject *self, PyObject *args) {
fail:
  SWIG_Python_RaiseOrModifyTypeError("Wrong number or type of arguments for overloaded function 'A_Read'.\\n"
    "  Possible C/C++ prototypes are:\\n"
    "    ns::A::Read(void const *)\\n"
    "    ns::A::Read()\\n");
'''
CONVERTED = '''#define SWIG_RUNTIME_VERSION "3"
# define SWIGPY_CAPSULE_ATTR_NAME "type_pointer_capsule_builtin" SWIG_TYPE_TABLE_NAME
# define SWIGPY_CAPSULE_ATTR_NAME "type_pointer" SWIG_TYPE_TABLE_NAME
  if (!PyArg_UnpackTuple(args, "own", 0, 1, &val)) {
  {"acquire", SwigPyObject_acquire, METH_NOARGS,  "aquires ownership of the pointer"},
    /* a PyObject is called 'this', try to get the 'real this'
       SwigPyObject from it; a few levels at most */
    static int relay_this_depth = 0;
    SwigPyObject *relay_found = 0;
    if (relay_this_depth < 8) {
      ++relay_this_depth;
      relay_found = SWIG_Python_GetSwigThis(obj);
      --relay_this_depth;
    }
    return relay_found;
  if (!SWIG_Python_UnpackTuple(args, "swigregister", 1, 1, &obj)) return NULL;
  if (!PyType_Check(obj)) {
    PyErr_SetString(PyExc_TypeError, "swigregister takes a proxy class");
    return NULL;
  }
    PyErr_SetString(PyExc_TypeError, "Attempt to append a non SwigPyObject");
    return NULL;
  }
  for (SwigPyObject *link = sobj; link; link = (SwigPyObject *)link->next) {
    if ((PyObject *)link == next) {
      PyErr_SetString(PyExc_TypeError, "Attempt to append an object of the same chain");
      return NULL;
    }
  }
      PyObject *appended = SwigPyObject_append((PyObject*) sthis, obj[1]);
      if (!appended) return NULL;
      Py_DECREF(appended);
  if (!PyArg_ParseTuple(args, ":new_A")) SWIG_fail;
  if (!PyArg_ParseTuple(args, "OO:A_Read", &obj0, &obj1)) SWIG_fail;
SWIGINTERN PyObject *_wrap_A_Read__SWIG_0(PyObject *self, PyObject *args) {
fail:
  SWIG_SetErrorMsg(PyExc_NotImplementedError, "Wrong number of arguments for overloaded function 'A_Read'.\\n  Possible C/C++ prototypes are:\\n    Read(void const *)\\n    Read()\\n");
'''


class ApplyConventions(unittest.TestCase):

    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.path = os.path.join(self.dir, 'wrap.cxx')

    def tearDown(self):
        shutil.rmtree(self.dir)

    def run_on(self, text):
        with open(self.path, 'w') as f:
            f.write(text)
        child = subprocess.Popen([sys.executable, SCRIPT, self.path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                 universal_newlines=True)
        out, err = child.communicate()
        with open(self.path) as f:
            return child.returncode, f.read(), err

    def test_rewrites_every_fragment(self):
        status, text, err = self.run_on(RUNTIME + WRAPPERS)
        self.assertEqual(status, 0, err)
        self.assertEqual(text, CONVERTED)

    def test_missing_fragments_fail_and_leave_the_file(self):
        cases = {
            'acquire doc text': (RUNTIME + WRAPPERS).replace('acquires', 'takes'),
            'runtime version': (RUNTIME + WRAPPERS).replace('VERSION "4"', 'VERSION "5"'),
            'type table attribute': (RUNTIME + WRAPPERS).replace('"type_pointer_capsule" ', '"tp" '),
            'no argument unpacking found': RUNTIME + WRAPPERS.replace('PyArg_UnpackTuple', 'Unpack'),
            'overload messages rewritten': RUNTIME + WRAPPERS.replace('Wrong number or type', 'Bad'),
            "'this' chain": (RUNTIME + WRAPPERS).replace('GetSwigThis(obj);', 'GetSwigThis(o);'),
            "append to the 'this' chain": (RUNTIME + WRAPPERS).replace('a non SwigPyObject', 'a non object'),
            'append in swiginit': (RUNTIME + WRAPPERS).replace('Py_DECREF(SwigPyObject_append', 'DECREF(append'),
            'no swigregister function found': (RUNTIME + WRAPPERS).replace('"swigregister"', '"register"'),
            'does not match its count': RUNTIME + WRAPPERS.replace('2, 2, &obj0, &obj1', '2, 2, &obj0'),
        }
        for expected_error, source in sorted(cases.items()):
            status, text, err = self.run_on(source)
            self.assertEqual(status, 1, expected_error)
            self.assertIn(expected_error, err)
            self.assertEqual(text, source)

    def test_the_built_wrapper_carries_no_generator_fragment(self):
        with open(os.environ['TORVANE_WRAPPER']) as f:
            text = f.read()
        self.assertNotIn('Wrong number or type of arguments', text)
        self.assertNotIn('"acquires ownership', text)
        self.assertNotIn('"type_pointer_capsule" SWIG_TYPE_TABLE_NAME', text)
        self.assertIn('PyArg_ParseTuple(args, "OO:IHwInfoBase_Read", &obj0, &obj1)', text)


if __name__ == '__main__':
    unittest.main()
