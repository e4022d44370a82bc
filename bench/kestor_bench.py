#!/usr/bin/env python2.7
"""Parameter-file benchmark of _Kestor: a generated device model with N
parameters (default 5,000, 20,000 and 80,000) in 10 multi-set parameter sets, multiSets 4,
each parameter with a dependency rule on the next one and a menu entry,
and a two-position type code. Times DeviceModelCreator +
CreateCustomerDeviceParameter + SetTypecode (which runs every rule against
the parameter file) + WriteCustomerAllParameter, and, as a reference,
xml.etree (the C accelerated one where there is one) parsing and
serialising the same model text, measured in the same run; prints medians
of 3 runs, their ratio, and the growth from one size to the next (4.0 is
linear for a fourfold size; the goal is at most 4.4).

usage: kestor_bench.py [--plain] [PARAMETERS ...]
--plain leaves out the rules, the menu entries and the type code."""
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
FREEING = []  # seconds spent destroying the creator, one per run


RULE = ('<R type="dependents" check="gt" with="50"><T type="then">'
        '<X set="7.50" attRef="Parameters/Module%d/Stages/P%d@default"/></T></R>')


def counts(parameters):
    per_set = parameters // SETS
    return [per_set if module < SETS - 1 else parameters - per_set * (SETS - 1) for module in range(SETS)]


def generate(parameters, plain):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<root device="BENCH" versionContent="1.0" versionSyntax="12" multiSets="4">',
             '\t<Parameters type="sectionMDM">']
    for module, count in enumerate(counts(parameters)):
        lines.append('\t\t<Module%d type="mdm" installed="true" projected="true">' % module)
        lines.append('\t\t\t<Stages based="paraSet" type="sectionMultiSet">')
        for number in range(count):
            rule = '' if plain or number + 1 == count else RULE % (module, number + 1)
            lines.append('\t\t\t\t<P%d type="float" min="0.00" max="100.00" default="%d.50" unitRef="Units/A">%s</P%d>'
                         % (number, number % 100, rule, number))
        lines.append('\t\t\t</Stages>')
        lines.append('\t\t</Module%d>' % module)
    if not plain:
        lines.append('\t\t<Device type="mdm" installed="true" projected="true"><Code based="paraSet">'
                     '<Inputs type="selection" ref="Lists/Inputs" default="CT4"/>'
                     '<Comm type="selection" ref="Lists/Comm" default="None"/></Code></Device>')
    lines.append('\t</Parameters>')
    lines.append('\t<Lists><Inputs><CT3 code="A"/><CT4 code="B"/></Inputs><Comm><None code="0"/><Iec code="I"/></Comm>'
                 '</Lists>')
    lines.append('\t<Maps><M type="mapping" ref="Parameters/Device/Code" with="pathTypeCode"/></Maps>')
    lines.append('\t<Hmi mode="menuTree"><Main type="root">')
    if not plain:
        for module, count in enumerate(counts(parameters)):
            lines.append('\t\t<View%d type="entryList">%s</View%d>' % (module, ''.join(
                '<E%d type="entry" entryRef="Parameters/Module%d/Stages/P%d"/>' % (n, module, n)
                for n in range(count)), module))
    lines.append('\t</Main></Hmi>')
    lines.append('</root>')
    text = '\n'.join(lines) + '\n'
    return text + '<!--CHECKSUM:%s LENGTH:%08x-->\n' % (hashlib.md5(text).hexdigest(), len(text))


def median_of(runs, action):
    times = []
    for _ in range(runs):
        start = time.time()
        action()
        times.append(time.time() - start)
    return sorted(times)[len(times) // 2]


def run_kestor(text, plain):
    creator = Kestor.DeviceModelCreator(text)
    if not creator.CreateCustomerDeviceParameter('bench', 'now'):
        raise SystemExit('the generated model was rejected')
    if not plain and not creator.SetTypecode('BENCHAI'):
        raise SystemExit('the type code was refused')
    written = creator.WriteCustomerAllParameter('bench', 'now')
    if not written.endswith('-->\n'):
        raise SystemExit('no parameter file written')
    start = time.time()
    del creator  # frees the model and the parameter document
    FREEING.append(time.time() - start)


def run_etree(module, text):
    module.tostring(module.fromstring(text))


def main(argv):
    plain = '--plain' in argv
    sizes = [int(a) for a in argv[1:] if a != '--plain'] or [5000, 20000, 80000]
    previous = None
    reference_module = CElementTree if CElementTree is not None else ElementTree
    for size in sizes:
        text = generate(size, plain)
        del FREEING[:]
        kestor = median_of(3, lambda: run_kestor(text, plain))
        freeing = sorted(FREEING)[len(FREEING) // 2]
        reference = median_of(3, lambda: run_etree(reference_module, text))
        line = ('%6d parameters (%.1f MB model): _Kestor %.3f s (freeing %.3f s, %.0f%%), %s parse+serialise %.3f s,'
                ' ratio %.2f' % (size, len(text) / 1e6, kestor, freeing, 100 * freeing / kestor,
                                 reference_module.__name__, reference, kestor / reference))
        if previous:
            line += ', growth x%.2f over %d' % (kestor / previous[1], previous[0])
        print(line)
        sys.stdout.flush()
        previous = (size, kestor)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
