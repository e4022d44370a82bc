# The plan and the calls of the hostile-argument sweep over every flat function
# of _TORVANE and _Kestor. The plan is deterministic: for each function and
# each argument count it accepts, a valid argument list is found from the
# declared types that the conversion errors name; then every position in turn
# gets every hostile value while the others stay valid. Every value is made
# fresh for each call, so a call that deletes or changes an object cannot
# change what a later call gets.
#
# As a child process: hostile_sweep.py MODULE FIRST END runs calls FIRST..END-1
# of MODULE's plan, writing each call's number before making it and "done N"
# at the end; hostile_sweep.py MODULE count prints the number of calls;
# hostile_sweep.py MODULE describe I prints call I.
from __future__ import print_function

import re
import sys

import Kestor  # noqa: the proxies register the classes (and so their destructors)
import TORVANE  # noqa
import _Kestor as K
import _TORVANE as T
from kestor_support import model

MAX_ARGUMENTS = 7
ARGUMENT = re.compile(r"argument (\d+) of type '([^']*)'")
COUNT = re.compile(r"takes (exactly |at most |at least )?\d+ arguments? \(\d+ given\)|takes no arguments|"
                   r"expected (at most |at least )?\d+ arguments?, got \d+")
OVERLOAD = 'Wrong number of arguments for overloaded function'

TORVANE_CLASSES = sorted(name[4:] for name in dir(T) if name.startswith('new_I'))
MODEL = model()


# --- valid values, by declared type ----------------------------------------

def handle(cls):
    """A live handle of `cls` on a chain of live handles (kept by the handle's
    own records)."""
    root = T.new_IHwInfoRoot()
    if cls in ('IHwInfo', 'IHwInfoRoot'):
        return root
    base = T.new_IHwInfoBase(root)
    if cls == 'IHwInfoBase':
        return base
    if 'Detail' in cls:
        base = T.new_IHwInfoTest_Common_V3(base)
    return getattr(T, 'new_' + cls)(base)


def creator():
    c = K.new_DeviceModelCreator(MODEL)
    K.DeviceModelCreator_CreateCustomerDeviceParameter(c, 'g', 'c')
    return c


def valid(declared):
    """A fresh valid value of a declared C++ type."""
    t = declared.replace('const', '').replace('&', '').replace('*', '').strip()
    if t in TORVANE_CLASSES:
        return handle(t)
    if t == 'HwInfo':
        return T.IHwInfo_m_HwInfo_get(handle('IHwInfoBase'))
    if t == 'void':
        return T.new_Eprom(512)
    if t == 'DeviceModelCreator':
        return creator()
    if 'SwigPyIterator' in t:
        return K.StringVector_iterator(K.new_StringVector(('a', 'b')))
    if 'PySliceObject' in t:
        return slice(0, 1)
    if t.startswith('std::vector<') and t.endswith('>'):
        return K.new_StringVector(('a', 'b')) if 'string' in t else K.new_IntVector((1, 2))
    if 'size_type' in t or 'difference_type' in t:
        return 1
    if 'string' in t or t in ('char', 'char const'):
        return 'x'
    if 'float' in t or 'double' in t:
        return 0.5
    return 1


FALLBACKS = [lambda: 'x', lambda: 1, lambda: T.new_Eprom(512), lambda: None, lambda: slice(0, 1),
             lambda: K.new_StringVector(('a', 'b')), lambda: 0.5]


def class_prefix(name):
    """The wrapped class a flat function name starts with, for its first argument."""
    for cls in sorted(TORVANE_CLASSES + ['DeviceModelCreator'], key=len, reverse=True):
        if name.startswith(cls + '_') or name in ('new_' + cls, 'delete_' + cls):
            return cls
    return None


# --- hostile values ----------------------------------------------------------

def deleted_handle(cls):
    h = handle(cls)
    getattr(T, 'delete_' + cls)(h)
    return h


def deleted_buffer():
    b = T.new_Eprom(512)
    T.delete_Eprom(b)
    return b


def stale_record():
    record = T.IHwInfo_m_HwInfo_get(handle('IHwInfoBase'))  # its handles are gone: the record with them
    return record


def deleted_creator():
    c = creator()
    K.delete_DeviceModelCreator(c)
    return c


def self_this():
    class Loop(object):
        pass
    loop = Loop()
    loop.this = loop
    return loop


def hostile_values(function_name):
    # Sizes of sequences ask for memory, not for a fault: kept small there.
    sequence = 'Vector' in function_name
    big = 10 ** 5 if sequence else 10 ** 8
    above_int = 10 ** 5 + 1 if sequence else 2 ** 31
    values = [
        ('None', lambda: None),
        ('object()', object),
        ('2**64', lambda: 2 ** 64),
        ('-2**63-1', lambda: -2 ** 63 - 1),
        ('-1', lambda: -1),
        ('2**31', lambda: above_int),
        ('big', lambda: big),
        ('nan', lambda: float('nan')),
        ('inf', lambda: float('inf')),
        ('long text', lambda: 'x' * 100000),
        ('bytes', lambda: b'\xff\x00\xfe'),
        ('unicode', lambda: u'\u20ac\U0001F600'),
        ('lone surrogate', lambda: u'\udcff'),
        ('bytearray', lambda: bytearray(b'ab')),
        ('list', lambda: [1, 'a', None]),
        ('live buffer', lambda: T.new_Eprom(512)),
        ('deleted buffer', deleted_buffer),
        ('small buffer', lambda: T.new_Eprom(1)),
        ('root handle', lambda: handle('IHwInfoRoot')),
        ('deleted root handle', lambda: deleted_handle('IHwInfoRoot')),
        ('deleted detail handle', lambda: deleted_handle('IHwInfoTestDetail_Cpu_V4')),
        ('record', lambda: T.IHwInfo_m_HwInfo_get(handle('IHwInfoRoot'))),
        ('stale record', stale_record),
        ('mac pointer', lambda: T.IHwInfoDevDetail_Cpu_V4_GetMacIdValue(handle('IHwInfoTestDetail_Cpu_V4'))),
        ('creator', creator),
        ('deleted creator', deleted_creator),
        ('string vector', lambda: K.new_StringVector(('a',))),
        ('iterator', lambda: K.StringVector_iterator(K.new_StringVector(('a',)))),
        ('object whose this is itself', self_this),
    ]
    return values


# --- the plan ------------------------------------------------------------------

def attempt(function, args):
    """('count' | 'argument', number, type | 'overload' | 'accepted', ...)."""
    try:
        function(*args)
    except NotImplementedError as error:
        if OVERLOAD in str(error):
            return ('overload',)
        return ('accepted',)
    except TypeError as error:
        text = str(error)
        if COUNT.search(text):
            return ('count',)
        found = ARGUMENT.search(text)
        if found:
            return ('argument', int(found.group(1)), found.group(2))
        return ('accepted',)
    except Exception as error:  # noqa: the call got through its conversions
        found = ARGUMENT.search(str(error))
        if found:
            return ('argument', int(found.group(1)), found.group(2))
        return ('accepted',)
    return ('accepted',)


def make(plan):
    """Arguments from an argument plan: each entry a declared type (str) or a fallback index."""
    return [valid(s) if isinstance(s, str) else FALLBACKS[s]() for s in plan]


def valid_plan(module, name, count):
    """A plan of `count` arguments the function accepts, or None."""
    function = getattr(module, name)
    cls = class_prefix(name)
    plan = [0] * count
    if count and cls and not name.startswith('new_'):
        plan[0] = cls + ' *'
    for _ in range(8 * count + 4):
        outcome = attempt(function, make(plan))
        if outcome[0] == 'count':
            return None
        if outcome[0] == 'accepted':
            return plan
        if outcome[0] == 'overload':
            return overload_plan(function, plan)
        position = outcome[1] - 1
        if position >= count:
            return plan
        if plan[position] != outcome[2]:
            plan[position] = outcome[2]
        else:  # a value of the named type was refused: try the plain candidates
            return None
    return None


def overload_plan(function, plan):
    """Overload dispatch names no argument: try the candidates, position by position."""
    rest = list(range(len(FALLBACKS)))
    def search(position, current):
        if position == len(current):
            return current if attempt(function, make(current))[0] != 'overload' else None
        for candidate in rest:
            found = search(position + 1, current[:position] + [candidate] + current[position + 1:])
            if found:
                return found
        return None
    start = 1 if plan and isinstance(plan[0], str) else 0
    if len(plan) - start > 2:
        return None
    return search(start, list(plan))


def plan(module_name):
    """[(function name, plan, position, hostile index)] in a fixed order."""
    module = sys.modules[module_name]
    calls = []
    for name in sorted(dir(module)):
        if name.startswith('__') or not callable(getattr(module, name)):
            continue
        for count in range(MAX_ARGUMENTS):
            plan = valid_plan(module, name, count)
            if plan is None:
                continue
            for position in range(count):
                for index in range(len(hostile_values(name))):
                    calls.append((name, plan, position, index))
    return calls


def call_arguments(call):
    name, plan, position, index = call
    args = make(plan)
    args[position] = hostile_values(name)[index][1]()
    return args


def describe(call):
    name, plan, position, index = call
    shown = ['<%s>' % (s if isinstance(s, str) else 'candidate %d' % s) for s in plan]
    shown[position] = hostile_values(name)[index][0]
    return '%s(%s)' % (name, ', '.join(shown))


def run(module_name, first, end):
    calls = plan(module_name)
    module = sys.modules[module_name]
    out = sys.stdout
    for number in range(first, min(end, len(calls))):
        out.write('%d\n' % number)
        out.flush()
        call = calls[number]
        try:
            getattr(module, call[0])(*call_arguments(call))
        except Exception:  # noqa: any exception is an answer; only a crash is not
            pass
    out.write('done %d\n' % len(calls))
    out.flush()


def main(argv):
    module_name = argv[1]
    if argv[2] == 'count':
        print(len(plan(module_name)))
    elif argv[2] == 'describe':
        print(describe(plan(module_name)[int(argv[3])]))
    else:
        run(module_name, int(argv[2]), int(argv[3]))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
