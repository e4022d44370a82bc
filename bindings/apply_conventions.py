#!/usr/bin/env python
# Rewrites a SWIG-generated Python wrapper (generated with -nofastunpack) so that
# it follows the project's binding conventions, which scripts rely on:
#   1. arguments parsed with PyArg_ParseTuple and "O...:name" formats;
#   2. NotImplementedError "Wrong number of arguments for overloaded function"
#      with unqualified prototypes from the overload dispatchers;
#   3. the wrapped object's "acquire" doc text "aquires ownership of the pointer";
#   4. type tables shared through "swig_runtime_data3", attribute "type_pointer";
#   5. no call can crash the interpreter through the runtime: a chain of objects
#      whose "this" is another object is followed only a few levels (an object
#      that is its own "this" recursed without end), and X_swigregister takes a
#      class only; the "this" chain takes no object twice (a loop made every
#      later conversion run forever) and a failed append in swiginit raises
#      instead of releasing a null result.
# Every fragment must be found as expected; otherwise the build fails, so a
# different generator output can never slip through unconverted.
# Usage: apply_conventions.py <wrapper.cxx>   (rewritten in place)
from __future__ import print_function

import re
import sys


class ConventionError(Exception):
    pass


def rewrite_argument_parsing(text):
    """PyArg_UnpackTuple(args, "name", n, n, &obj0, ...) -> PyArg_ParseTuple(args, "O..:name", ...)."""
    pattern = re.compile(r'PyArg_UnpackTuple\(args, "(\w+)", (\d+), (\d+)((?:, &obj\d+)*)\)')
    count = [0]

    def replace(match):
        name, low, high, objects = match.group(1), int(match.group(2)), int(match.group(3)), match.group(4)
        if low != high:
            return match.group(0)  # the runtime's own optional-argument calls stay
        if objects.count("&obj") != low:
            raise ConventionError("argument list of %s does not match its count" % name)
        count[0] += 1
        return 'PyArg_ParseTuple(args, "%s:%s"%s)' % ("O" * low, name, objects)

    text = pattern.sub(replace, text)
    if count[0] == 0:
        raise ConventionError("no argument unpacking found")
    leftover = re.search(r'PyArg_UnpackTuple\(args, "(\w+)", (\d+), \2\b', text)
    if leftover:
        raise ConventionError("argument unpacking of %s left unconverted" % leftover.group(1))
    return text, count[0]


def unqualified(prototype):
    """Drops the scope before the function name, templates included:
    "std::vector< int >::resize(int)" -> "resize(int)"."""
    head, paren, rest = prototype.partition("(")
    return head[head.rfind("::") + 2:] + paren + rest if "::" in head else prototype


def rewrite_overload_errors(text):
    """The dispatchers' TypeError with qualified prototypes -> NotImplementedError."""
    pattern = re.compile(
        r'SWIG_Python_RaiseOrModifyTypeError\("Wrong number or type of arguments for overloaded function '
        r"'(\w+)'\.\\n\"\s*\"  Possible C/C\+\+ prototypes are:\\n\"((?:\s*\"    [^\"]*\\n\")+)\);")

    def replace(match):
        name = match.group(1)
        prototypes = re.findall(r'"    ([^"]*)\\n"', match.group(2))
        lines = "".join("    %s\\n" % unqualified(p) for p in prototypes)
        return ('SWIG_SetErrorMsg(PyExc_NotImplementedError, "Wrong number of arguments for overloaded '
                "function '%s'.\\n  Possible C/C++ prototypes are:\\n%s\");" % (name, lines))

    text, count = pattern.subn(replace, text)
    # Operator dispatchers (such as an iterator's __sub__) answer NotImplemented
    # instead of raising, so they have no message to rewrite.
    dispatchers = 0
    for name in set(re.findall(r"_wrap_(\w+)__SWIG_0\(", text)):
        start = text.find("SWIGINTERN PyObject *_wrap_%s(PyObject *self, PyObject *args) {" % name)
        body = text[start:text.find("\n}\n", start)] if start >= 0 else ""
        if "return Py_NotImplemented;" not in body:
            dispatchers += 1
    if count != dispatchers:
        raise ConventionError("%d overload dispatchers but %d overload messages rewritten" % (dispatchers, count))
    return text, count


def replace_exactly_once(text, old, new, what):
    found = text.count(old)
    if found != 1:
        raise ConventionError("%s: expected one occurrence, found %d" % (what, found))
    return text.replace(old, new)


def rewrite_runtime_guards(text):
    """Bounds the 'this' chain and lets swigregister accept classes only."""
    text = replace_exactly_once(
        text,
        "       SwigPyObject from it */ \n    return SWIG_Python_GetSwigThis(obj);",
        "       SwigPyObject from it; a few levels at most */\n"
        "    static int relay_this_depth = 0;\n"
        "    SwigPyObject *relay_found = 0;\n"
        "    if (relay_this_depth < 8) {\n"
        "      ++relay_this_depth;\n"
        "      relay_found = SWIG_Python_GetSwigThis(obj);\n"
        "      --relay_this_depth;\n"
        "    }\n"
        "    return relay_found;",
        "'this' chain")
    text = replace_exactly_once(
        text,
        '    PyErr_SetString(PyExc_TypeError, "Attempt to append a non SwigPyObject");\n    return NULL;\n  }\n',
        '    PyErr_SetString(PyExc_TypeError, "Attempt to append a non SwigPyObject");\n    return NULL;\n  }\n'
        '  for (SwigPyObject *link = sobj; link; link = (SwigPyObject *)link->next) {\n'
        '    if ((PyObject *)link == next) {\n'
        '      PyErr_SetString(PyExc_TypeError, "Attempt to append an object of the same chain");\n'
        '      return NULL;\n    }\n  }\n',
        "append to the 'this' chain")
    text = replace_exactly_once(
        text,
        "      Py_DECREF(SwigPyObject_append((PyObject*) sthis, obj[1]));",
        "      PyObject *appended = SwigPyObject_append((PyObject*) sthis, obj[1]);\n"
        "      if (!appended) return NULL;\n"
        "      Py_DECREF(appended);",
        "append in swiginit")
    old = 'if (!SWIG_Python_UnpackTuple(args, "swigregister", 1, 1, &obj)) return NULL;'
    count = text.count(old)
    if count == 0:
        raise ConventionError("no swigregister function found")
    text = text.replace(old, old + '\n  if (!PyType_Check(obj)) {\n'
                        '    PyErr_SetString(PyExc_TypeError, "swigregister takes a proxy class");\n'
                        '    return NULL;\n  }')
    return text, count


def rewrite(text):
    text, parsed = rewrite_argument_parsing(text)
    text, overloads = rewrite_overload_errors(text)
    text, _ = rewrite_runtime_guards(text)
    text = replace_exactly_once(text, '"acquires ownership of the pointer"', '"aquires ownership of the pointer"',
                                "acquire doc text")
    text = replace_exactly_once(text, '#define SWIG_RUNTIME_VERSION "4"', '#define SWIG_RUNTIME_VERSION "3"',
                                "runtime version")
    text = replace_exactly_once(text, '# define SWIGPY_CAPSULE_ATTR_NAME "type_pointer_capsule" SWIG_TYPE_TABLE_NAME',
                                '# define SWIGPY_CAPSULE_ATTR_NAME "type_pointer" SWIG_TYPE_TABLE_NAME',
                                "type table attribute")
    return text, parsed, overloads


def main(argv):
    if len(argv) != 2:
        print("usage: apply_conventions.py <wrapper.cxx>", file=sys.stderr)
        return 2
    path = argv[1]
    with open(path) as f:
        text = f.read()
    try:
        text, parsed, overloads = rewrite(text)
    except ConventionError as error:
        print("apply_conventions.py: %s: %s" % (path, error), file=sys.stderr)
        return 1
    with open(path, "w") as f:
        f.write(text)
    print("apply_conventions.py: %s: %d argument lists, %d overload dispatchers" % (path, parsed, overloads))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
