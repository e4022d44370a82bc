#!/usr/bin/env python3
"""Post-generation step over a SWIG 4 Python wrapper: brings the generated
code back to the binding conventions that scripts in production rely on.

  1. Arguments are parsed with PyArg_ParseTuple and the format "O...:name"
     (one "O" per argument, the object first), so wrong counts give Python's
     own messages; one-argument wrappers become METH_VARARGS to match.
  2. Overload dispatchers count the argument tuple themselves and raise
     NotImplementedError "Wrong number of arguments for overloaded function
     'name'." with unqualified prototypes.
  3. The wrapped object's method docs keep their historical texts.
  4. Type tables are shared through "swig_runtime_data3", "type_pointer".

Every rewrite must find what it expects; otherwise the build fails loudly.

usage: postprocess.py GENERATED_WRAPPER OUTPUT_WRAPPER
"""
import re
import sys


class Missing(Exception):
    pass


def replace_exact(text, old, new, what):
    if old not in text:
        raise Missing(what + ': fragment not found: ' + old)
    return text.replace(old, new)


def parse_tuple(name, count, target):
    """A PyArg_ParseTuple call filling target[0..count-1]."""
    pointers = ''.join(', &%s[%d]' % (target, i) for i in range(count))
    return 'PyArg_ParseTuple(args, "%s:%s"%s)' % ('O' * count, name, pointers)


def fixed_arity(text):
    pattern = re.compile(r'SWIG_Python_UnpackTuple\(args, "(\w+)", (\d+), (\d+), swig_obj\)')

    def one(match):
        name, low, high = match.group(1), int(match.group(2)), int(match.group(3))
        if low != high:
            raise Missing('fixed arity: %s takes %d to %d arguments' % (name, low, high))
        return parse_tuple(name, low, 'swig_obj')
    text, count = pattern.subn(one, text)
    if count == 0:
        raise Missing('fixed arity: no SWIG_Python_UnpackTuple(args, ..., swig_obj) call')
    return text


def single_argument(text):
    """Wrappers registered as METH_O take the object itself; make them parse a tuple."""
    pattern = re.compile(
        r'(SWIGINTERN PyObject \*_wrap_(\w+)\(PyObject \*self, PyObject \*args\) \{\n(?:(?!\n\}\n).)*?)'
        r'  if \(!args\) SWIG_fail;\n  swig_obj\[0\] = args;\n', re.S)
    names = []

    def one(match):
        names.append(match.group(2))
        return match.group(1) + '  if (!%s) SWIG_fail;\n' % parse_tuple(match.group(2), 1, 'swig_obj')
    text = pattern.sub(one, text)
    if not names:
        raise Missing('single argument: no METH_O wrapper found')
    for name in names:
        entry = '{ "%s", _wrap_%s, METH_O, ' % (name, name)
        text = replace_exact(text, entry, '{ "%s", _wrap_%s, METH_VARARGS, ' % (name, name), 'method table')
    return text


def registrations(text):
    text, count = re.subn(r'SWIG_Python_UnpackTuple\(args, "swigregister", 1, 1, &obj\)',
                          'PyArg_ParseTuple(args, "O:swigregister", &obj)', text)
    if count == 0:
        raise Missing('registration: no swigregister function')
    text, entries = re.subn(r'(\{ "\w+_swigregister", \w+_swigregister, )METH_O,', r'\1METH_VARARGS,', text)
    if entries != count:
        raise Missing('registration: %d swigregister functions but %d METH_O entries' % (count, entries))
    return replace_exact(text, 'SWIG_Python_UnpackTuple(args, "swiginit", 2, 2, obj)',
                         'PyArg_ParseTuple(args, "OO:swiginit", &obj[0], &obj[1])', 'swiginit')


def unqualified(prototype_line):
    """'    std::vector< T >::f(int)\\n' -> '    f(int)\\n' (inside a C string literal)."""
    match = re.match(r'(\s*"    )(.*)$', prototype_line)
    body = match.group(2)
    paren = body.find('(')
    head = body[:paren]
    if '::' in head:
        head = head[head.rfind('::') + 2:]
    return match.group(1) + head + body[paren:]


def dispatchers(text):
    unpack = re.compile(
        r'  if \(!\(argc = SWIG_Python_UnpackTuple\(args, "(\w+)", 0, (\d+), argv\)\)\) SWIG_fail;\n  --argc;\n')

    def count_arguments(match):
        return ('  if (!PyTuple_Check(args)) SWIG_fail;\n'
                '  argc = PyObject_Length(args);\n'
                '  for (Py_ssize_t ii = 0; ii < argc && ii < %s; ++ii) argv[ii] = PyTuple_GET_ITEM(args, ii);\n'
                % match.group(2))
    text, dispatch_count = unpack.subn(count_arguments, text)

    message = re.compile(
        r'SWIG_Python_RaiseOrModifyTypeError\("Wrong number or type of arguments for overloaded function '
        r"'(\w+)'\.\\n\"\n    \"  Possible C/C\+\+ prototypes are:\\n\"\n((?:    \"    [^\n]*\n)+)")

    def raise_not_implemented(match):
        lines = match.group(2).rstrip('\n').split('\n')
        return ('SWIG_SetErrorMsg(PyExc_NotImplementedError, "Wrong number of arguments for overloaded function '
                "'%s'.\\n\"\n    \"  Possible C/C++ prototypes are:\\n\"\n%s\n" %
                (match.group(1), '\n'.join(unqualified(line) for line in lines)))
    text, message_count = message.subn(raise_not_implemented, text)
    # Operator dispatchers answer NotImplemented instead of raising, so there
    # may be fewer messages than dispatchers, but never more.
    if message_count > dispatch_count or (dispatch_count and not message_count):
        raise Missing('overloads: %d dispatchers but %d error messages' % (dispatch_count, message_count))
    return text


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source) as f:
        text = f.read()
    try:
        text = replace_exact(text, '#define SWIG_RUNTIME_VERSION "4"', '#define SWIG_RUNTIME_VERSION "3"',
                             'runtime version')
        text = replace_exact(text, '# define SWIGPY_CAPSULE_ATTR_NAME "type_pointer_capsule" SWIG_TYPE_TABLE_NAME',
                             '# define SWIGPY_CAPSULE_ATTR_NAME "type_pointer" SWIG_TYPE_TABLE_NAME',
                             'type table attribute')
        text = replace_exact(text, '"acquires ownership of the pointer"', '"aquires ownership of the pointer"',
                             'acquire doc')
        text = fixed_arity(text)
        text = single_argument(text)
        text = registrations(text)
        text = dispatchers(text)
        for leftover in ('SWIG_Python_UnpackTuple(args', 'Wrong number or type of arguments'):
            if leftover in text:
                line = text[:text.index(leftover)].count('\n') + 1
                raise Missing('unconverted fragment at line %d: %s' % (line, leftover))
        if re.search(r'(_wrap_\w+|_swigregister), METH_(O|NOARGS),', text):
            raise Missing('a wrapper is still registered as METH_O or METH_NOARGS')
    except Missing as error:
        sys.stderr.write('postprocess.py: %s: %s\n' % (source, error))
        return 1
    with open(target, 'w') as f:
        f.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main())
