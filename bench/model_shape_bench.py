#!/usr/bin/env python2.7
"""Cost of _Kestor against the shape of a device model, each case loaded
(DeviceModelCreator + CreateCustomerDeviceParameter) in a fresh child
process: deep models (N elements nested below the sectionMDM section, inside
one parameter set) and wide ones (parameters x multiSets). Prints the median
wall time of 3 runs, the child's peak resident memory, and as a reference
measured in the same run the time xml.etree (cElementTree where there is
one) takes to parse the same text.

usage: model_shape_bench.py            (the whole table)
       model_shape_bench.py --child deep|wide N [SETS]   (one load)"""
import hashlib
import resource
import subprocess
import sys
import time

try:
    import xml.etree.cElementTree as ElementTree
except ImportError:
    import xml.etree.ElementTree as ElementTree

HEAD = ('<?xml version="1.0" encoding="UTF-8"?>\n'
        '<root device="D" versionContent="1" versionSyntax="12" multiSets="%d">\n')
MENU = '<Hmi mode="menuTree"><Main type="root"/></Hmi>\n</root>\n'


def stamped(text):
    return text + '<!--CHECKSUM:%s LENGTH:%08x-->\n' % (hashlib.md5(text).hexdigest(), len(text))


def deep(levels):
    return stamped(HEAD % 1 + '<Params type="sectionMDM"><Set based="paraSet" type="sectionSingleSet">' +
                   ''.join('<N%d>' % (i % 10) for i in range(levels)) +
                   ''.join('</N%d>' % (i % 10) for i in reversed(range(levels))) + '</Set></Params>\n' + MENU)


def wide(parameters, sets):
    return stamped(HEAD % sets + '<Params type="sectionMDM"><S based="paraSet" type="sectionMultiSet">' +
                   ''.join('<P%d type="integer" min="0" max="9" default="1"/>' % i for i in range(parameters)) +
                   '</S></Params>\n' + MENU)


def model(kind, size, sets):
    return deep(size) if kind == 'deep' else wide(size, sets)


def child(kind, size, sets):
    import Kestor
    text = model(kind, size, sets)
    start = time.time()
    creator = Kestor.DeviceModelCreator(text)
    created = creator.CreateCustomerDeviceParameter('bench', 'now')
    elapsed = time.time() - start
    print('%s %.4f %d' % ('created' if created else 'refused', elapsed,
                          resource.getrusage(resource.RUSAGE_SELF).ru_maxrss // 1024))


def measure(kind, size, sets):
    runs = []
    for _ in range(3):
        out = subprocess.check_output([sys.executable, __file__, '--child', kind, str(size), str(sets)])
        outcome, seconds, megabytes = out.split()
        runs.append((float(seconds), int(megabytes), outcome))
    runs.sort()
    text = model(kind, size, sets)
    references = []
    for _ in range(3):
        start = time.time()
        try:
            ElementTree.fromstring(text)
        except RuntimeError:  # the pure-Python reader recurses per level
            references.append(float('nan'))
            continue
        references.append(time.time() - start)
    reference = sorted(references)[1]
    seconds, megabytes, outcome = runs[1]
    return outcome, seconds, megabytes, reference, len(text)


def main(argv):
    if len(argv) > 1 and argv[1] == '--child':
        child(argv[2], int(argv[3]), int(argv[4]) if len(argv) > 4 else 1)
        return 0
    cases = [('deep', 10000, 1), ('deep', 30000, 1), ('deep', 100000, 1),
             ('wide', 20000, 4), ('wide', 20000, 50), ('wide', 20000, 1000)]
    for kind, size, sets in cases:
        outcome, seconds, megabytes, reference, length = measure(kind, size, sets)
        label = ('%d levels' % size) if kind == 'deep' else ('%d parameters x %d sets' % (size, sets))
        print('%-4s %-28s (%5.2f MB model): %s in %.3f s, peak %4d MB; %s parse %.3f s, ratio %.2f'
              % (kind, label, length / 1e6, outcome, seconds, megabytes, ElementTree.__name__, reference,
                 seconds / reference))
        sys.stdout.flush()
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
