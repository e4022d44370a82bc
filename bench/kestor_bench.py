#!/usr/bin/env python2.7
"""Parameter-file benchmark of _Kestor: a generated device model with N
parameters (default 20,000) in 10 multi-set parameter sets, multiSets 4.
Times DeviceModelCreator + CreateCustomerDeviceParameter +
WriteCustomerAllParameter, and, as a reference, xml.etree parsing and
serialising the same model text; prints both and their ratio.

usage: kestor_bench.py [PARAMETERS ...]"""
import hashlib
import sys
import time
import xml.etree.ElementTree as ElementTree

try:
    import xml.etree.cElementTree as CElementTree
except ImportError:
    CElementTree = None

import Kestor

SETS = 10


def generate(parameters):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<root device="BENCH" versionContent="1.0" versionSyntax="12" multiSets="4">',
             '\t<Parameters type="sectionMDM">']
    per_set = parameters // SETS
    for module in range(SETS):
        lines.append('\t\t<Module%d type="mdm" installed="true" projected="true">' % module)
        lines.append('\t\t\t<Stages based="paraSet" type="sectionMultiSet">')
        count = per_set if module < SETS - 1 else parameters - per_set * (SETS - 1)
        for number in range(count):
            lines.append('\t\t\t\t<P%d type="float" min="0.00" max="100.00" default="%d.50" unitRef="Units/A"/>'
                         % (number, number % 100))
        lines.append('\t\t\t</Stages>')
        lines.append('\t\t</Module%d>' % module)
    lines.append('\t</Parameters>')
    lines.append('\t<Hmi mode="menuTree"><Main type="root"/></Hmi>')
    lines.append('</root>')
    text = '\n'.join(lines) + '\n'
    return text + '<!--CHECKSUM:%s LENGTH:%08x-->\n' % (hashlib.md5(text).hexdigest(), len(text))


def best_of(runs, action):
    best = None
    for _ in range(runs):
        start = time.time()
        action()
        elapsed = time.time() - start
        best = elapsed if best is None or elapsed < best else best
    return best


def run_kestor(text):
    creator = Kestor.DeviceModelCreator(text)
    if not creator.CreateCustomerDeviceParameter('bench', 'now'):
        raise SystemExit('the generated model was rejected')
    written = creator.WriteCustomerAllParameter('bench', 'now')
    if not written.endswith('-->\n'):
        raise SystemExit('no parameter file written')


def run_etree(module, text):
    module.tostring(module.fromstring(text))


def main(argv):
    sizes = [int(a) for a in argv[1:]] or [20000]
    previous = None
    for size in sizes:
        text = generate(size)
        kestor = best_of(3, lambda: run_kestor(text))
        reference = best_of(3, lambda: run_etree(ElementTree, text))
        line = ('%6d parameters (%.1f MB model): _Kestor %.3f s, xml.etree parse+serialise %.3f s, ratio %.2f'
                % (size, len(text) / 1e6, kestor, reference, kestor / reference))
        if CElementTree is not None:
            line += ', cElementTree %.3f s' % best_of(3, lambda: run_etree(CElementTree, text))
        if previous:
            line += ', x%.2f over the previous size' % (kestor / previous)
        print(line)
        previous = kestor
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
