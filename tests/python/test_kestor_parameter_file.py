"""_Kestor's parameter file from Python 2.7: the exact text for small models,
set numbers and multi-set copies, shared intermediate elements, defaults
copied as written, the header and change stamps, successive writes, the
trailer and well-formedness (checked with hashlib and xml.etree), the bundled
example, and generated models compared with a mirror built here with
xml.etree."""
import random
import unittest
import xml.etree.ElementTree as ET

import Kestor
from kestor_support import body, example_model, model, trailer

MENU = '\t<Hmi mode="menuTree"><Top type="root"/></Hmi>\n'


def attributes(multi_sets='1', extra=''):
    return 'device="D" versionContent="1.0" multiSets="%s" versionSyntax="12"%s' % (multi_sets, extra)


def written(inside, multi_sets='1', extra='', generator='gen', created='c1', changedby='me', changed='now'):
    creator = Kestor.DeviceModelCreator(model(attributes(multi_sets, extra), inside + MENU))
    assert creator.CreateCustomerDeviceParameter(generator, created) is True
    return creator.WriteCustomerAllParameter(changedby, changed)


def section(text):
    """The mirrored section element of a written parameter file."""
    return ET.fromstring(text)[0]


class ExactText(unittest.TestCase):
    def test_small_model_byte_for_byte(self):
        inside = ('\t<Params type="sectionMDM">\n'
                  '\t\t<Prot type="mdm" installed="true" projected="true">\n'
                  '\t\t\t<Set based="paraSet" type="sectionSingleSet">\n'
                  '\t\t\t\t<Limit type="float" min="0" max="10" default="2.500"/>\n'
                  '\t\t\t\t<Name type="string"/>\n'
                  '\t\t\t</Set>\n'
                  '\t\t\t<Stages based="paraSet" type="sectionMultiSet">\n'
                  '\t\t\t\t<PickUp type="integer" min="1" max="9" default="3"/>\n'
                  '\t\t\t</Stages>\n'
                  '\t\t</Prot>\n'
                  '\t</Params>\n')
        text = written(inside, multi_sets='2', extra=' handoff="H1" productLine="PL"')
        checked = ('<?xml version="1.0" encoding="UTF-8"?>\n'
                   '<root type="parameterFile" versionSyntax="12" device="D" versionContent="1.0" generator="gen" '
                   'created="c1" createdWithDmHandoff="H1" changedby="me" changed="now" changedWithDmHandoff="H1" '
                   'productLine="PL">\n'
                   '\t<Params>\n'
                   '\t\t<Prot>\n'
                   '\t\t\t<Set setNo="0">\n'
                   '\t\t\t\t<Limit>2.500</Limit>\n'
                   '\t\t\t\t<Name/>\n'
                   '\t\t\t</Set>\n'
                   '\t\t\t<Stages setNo="1">\n'
                   '\t\t\t\t<PickUp>3</PickUp>\n'
                   '\t\t\t</Stages>\n'
                   '\t\t\t<Stages setNo="2">\n'
                   '\t\t\t\t<PickUp>3</PickUp>\n'
                   '\t\t\t</Stages>\n'
                   '\t\t</Prot>\n'
                   '\t</Params>\n'
                   '</root>\n')
        self.assertEqual(text, checked + trailer(checked))
        self.assertEqual(len(trailer(checked)), 65)


STAGES = ('\t<Params type="sectionMDM"><Prot type="mdm">\n'
          '\t\t<Stages based="paraSet" type="sectionMultiSet">'
          '<PickUp default="1.20"/><Delay default="0.50"/><Note/></Stages>\n'
          '\t</Prot></Params>\n')


class SetNumbers(unittest.TestCase):
    def stages(self, multi_sets):
        prot = section(written(STAGES, multi_sets=multi_sets))[0]
        return [child for child in prot if child.tag == 'Stages']

    def test_one_set_makes_no_copies(self):
        stages = self.stages('1')
        self.assertEqual([s.get('setNo') for s in stages], ['1'])

    def test_four_sets_make_four_equal_siblings(self):
        stages = self.stages('4')
        self.assertEqual([s.get('setNo') for s in stages], ['1', '2', '3', '4'])
        contents = [[(c.tag, c.text, c.attrib) for c in s] for s in stages]
        self.assertEqual(contents[0], [('PickUp', '1.20', {}), ('Delay', '0.50', {}), ('Note', None, {})])
        for content in contents[1:]:
            self.assertEqual(content, contents[0])

    def test_single_set_is_numbered_zero_and_never_copied(self):
        inside = STAGES.replace('sectionMultiSet', 'sectionSingleSet')
        prot = section(written(inside, multi_sets='4'))[0]
        self.assertEqual([(c.tag, c.get('setNo')) for c in prot], [('Stages', '0')])


class Hierarchy(unittest.TestCase):
    def test_two_sets_share_intermediate_elements(self):
        inside = ('\t<Params type="sectionMDM"><Prot type="mdm"><Group>\n'
                  '\t\t<A based="paraSet"><X default="1"/></A>\n'
                  '\t\t<B based="paraSet"><Y default="2"/></B>\n'
                  '\t</Group></Prot></Params>\n')
        tree = section(written(inside))
        self.assertEqual(len(tree), 1)
        self.assertEqual(len(tree[0]), 1)
        group = tree[0][0]
        self.assertEqual([(c.tag, c.get('setNo'), c[0].tag, c[0].text) for c in group],
                         [('A', '0', 'X', '1'), ('B', '0', 'Y', '2')])

    def test_defaults_are_copied_unchanged(self):
        inside = ('\t<Params type="sectionMDM"><M type="mdm"><S based="paraSet">'
                  '<F default="1.5000"/><E default="1e3"/><L default=" 0.10 "/><N/><Z default=""/>'
                  '</S></M></Params>\n')
        text = written(inside)
        self.assertIn('\t\t\t\t<F>1.5000</F>\n\t\t\t\t<E>1e3</E>\n\t\t\t\t<L> 0.10 </L>\n'
                      '\t\t\t\t<N/>\n\t\t\t\t<Z/>\n', text)

    def test_nested_parameter_set_is_not_duplicated(self):
        inside = ('\t<Params type="sectionMDM"><M type="mdm"><Outer based="paraSet">'
                  '<Inner based="paraSet"><V default="7"/></Inner></Outer></M></Params>\n')
        outer = section(written(inside))[0][0]
        self.assertEqual(outer.tag, 'Outer')
        self.assertEqual([(c.tag, c.get('setNo')) for c in outer], [('Inner', '0')])
        self.assertEqual([(c.tag, c.text) for c in outer[0]], [('V', '7')])

    def test_model_without_section(self):
        text = written('\t<Params><M type="mdm"><S based="paraSet"><V default="1"/></S></M></Params>\n')
        self.assertEqual(len(ET.fromstring(text)), 0)


class HeaderAndStamps(unittest.TestCase):
    def test_product_line_and_handoff(self):
        plain = ET.fromstring(written(STAGES))
        self.assertNotIn('productLine', plain.attrib)
        self.assertEqual(plain.get('createdWithDmHandoff'), '')
        self.assertEqual(plain.get('changedWithDmHandoff'), '')
        rich = ET.fromstring(written(STAGES, extra=' handoff="HO-7" productLine="Feeder"'))
        self.assertEqual(rich.get('productLine'), 'Feeder')
        self.assertEqual(rich.get('createdWithDmHandoff'), 'HO-7')
        self.assertEqual(rich.get('changedWithDmHandoff'), 'HO-7')
        empty = ET.fromstring(written(STAGES, extra=' productLine=""'))
        self.assertNotIn('productLine', empty.attrib)

    def test_no_implausible_values_element_when_all_values_are_plausible(self):
        text = written(STAGES, multi_sets='3')
        self.assertNotIn('ImplausibleValues', text)

    def test_successive_writes_differ_in_stamps_and_trailer_only(self):
        creator = Kestor.DeviceModelCreator(model(attributes('4'), STAGES + MENU))
        self.assertTrue(creator.CreateCustomerDeviceParameter('g', 'c'))
        first = creator.WriteCustomerAllParameter('alice', '2026-01-01')
        second = creator.WriteCustomerAllParameter('bob', '2026-12-31 23:59')
        third = creator.WriteCustomerAllParameter('alice', '2026-01-01')
        self.assertEqual(first, third)
        self.assertEqual(first[:-65].replace('changedby="alice" changed="2026-01-01"',
                                             'changedby="bob" changed="2026-12-31 23:59"'), second[:-65])
        self.assertNotEqual(first[-65:], second[-65:])
        for text in (first, second):
            self.assertEqual(text[-65:], trailer(text[:-65]))

    def test_special_characters_come_out_well_formed(self):
        nasty = 'a&b <c> "d" \'e\''
        inside = ('\t<Params type="sectionMDM"><M type="mdm"><S based="paraSet">'
                  '<V default="x &amp; &lt;y&gt; &quot;z&quot;"/></S></M></Params>\n')
        creator = Kestor.DeviceModelCreator(model(attributes(), inside + MENU))
        self.assertTrue(creator.CreateCustomerDeviceParameter(nasty, nasty))
        text = creator.WriteCustomerAllParameter(nasty, nasty)
        self.assertEqual(text[-65:], trailer(text[:-65]))
        root = ET.fromstring(text)
        for name in ('generator', 'created', 'changedby', 'changed'):
            self.assertEqual(root.get(name), nasty)
        self.assertEqual(root.find('Params/M/S/V').text, 'x & <y> "z"')

    def test_written_text_passes_the_checksum_of_a_model(self):
        text = written(STAGES, multi_sets='2')
        # Exactly the bytes before the 65-byte comment line are checksummed.
        self.assertTrue(text.endswith('-->\n'))
        self.assertEqual(text[-65:], trailer(text[:-65]))
        # A parameter file is no model (no multiSets, no menu): it is refused
        # after the checksum, without an exception reaching Python.
        self.assertIs(Kestor.DeviceModelCreator(text).CreateCustomerDeviceParameter('g', 'c'), False)


class BundledExample(unittest.TestCase):
    def test_example_parameter_file(self):
        creator = Kestor.DeviceModelCreator(example_model())
        self.assertTrue(creator.CreateCustomerDeviceParameter('g', 'c'))
        text = creator.WriteCustomerAllParameter('a', 'b')
        self.assertEqual(text[-65:], trailer(text[:-65]))
        params = ET.fromstring(text).find('Parameters')
        self.assertEqual([c.tag for c in params], ['General', 'Overcurrent', 'EarthFault', 'Options'])
        settings = params.find('General/Settings')
        self.assertEqual(settings.get('setNo'), '0')
        self.assertEqual([(c.tag, c.text) for c in settings],
                         [('Frequency', 'F50'), ('CtPrimary', '400'), ('CtSecondary', 'A1')])
        stages = params.findall('Overcurrent/Stages')
        self.assertEqual([s.get('setNo') for s in stages], ['1', '2', '3', '4'])
        for s in stages:
            self.assertEqual([(c.tag, c.text) for c in s],
                             [('PickUp', '1.20'), ('Delay', '0.50'), ('Enabled', 'true')])
        self.assertEqual(len(params.findall('EarthFault/Stages')), 4)
        self.assertEqual([(c.tag, c.text) for c in params.find('Options/Software')],
                         [('Firmware', '3.2.0.117'), ('Bootloader', '1.4.2')])
        self.assertIn('\t\t\t<Stages setNo="4">\n\t\t\t\t<PickUp>1.20</PickUp>\n', text)
        # The mirrored defaults now feed the type code and the signatures.
        self.assertEqual(creator.GetTypecode(), 'RX7BI')
        self.assertEqual(creator.GetSwComponentSignatureVector(), ('Firmware 3.2.0.117', 'Bootloader 1.4.2'))


def mirror(model_text, multi_sets):
    """The parameter hierarchy a model should give, built with xml.etree:
    (name, setNo, text, children) tuples, for comparison."""
    root = ET.fromstring(model_text)
    parents = dict((child, parent) for parent in root.iter() for child in parent)
    sections = [e for e in root.iter() if e.get('type') == 'sectionMDM']
    if not sections:
        return None
    out = ET.Element(sections[0].tag)

    def copy(node, target, top):
        if node.get('based') == 'paraSet':
            if not top:
                target = ET.SubElement(target, node.tag)
            target.set('setNo', '1' if node.get('type') == 'sectionMultiSet' else '0')
        else:
            target = ET.SubElement(target, node.tag)
            if node.get('default'):
                target.text = node.get('default')
        for child in node:
            copy(child, target, False)

    def visit(node):
        for child in node:
            if child.get('based') == 'paraSet':
                chain = []
                up = child
                while up is not root:
                    chain.append(up.tag)
                    up = parents[up]
                target = out
                for name in reversed(chain):
                    if name == out.tag:
                        continue
                    found = target.find(name)
                    target = found if found is not None else ET.SubElement(target, name)
                copy(child, target, True)
            else:
                visit(child)

    visit(root)

    def replicate(element):
        for child in list(element):
            if child.get('setNo') == '1':
                for number in range(2, multi_sets + 1):
                    twin = ET.fromstring(ET.tostring(child))
                    for e in twin.iter():
                        if e.get('setNo') == '1':
                            e.set('setNo', str(number))
                    element.append(twin)
            replicate(child)
    replicate(out)
    return out


def canonical(element):
    return (element.tag, element.get('setNo'), element.text if len(element) == 0 else None,
            [canonical(child) for child in element])


def generated_model(rng):
    names = ['A', 'B', 'C', 'Stage', 'Group']
    lines = ['\t<Params type="sectionMDM">']
    for module in range(rng.randint(1, 3)):
        lines.append('\t\t<Mod%d type="mdm" installed="true">' % module)
        for number in range(rng.randint(1, 4)):
            kind = rng.choice(['sectionMultiSet', 'sectionSingleSet'])
            group = rng.choice(names)
            lines.append('\t\t\t<%s><Set%d based="paraSet" type="%s">' % (group, number % 2, kind))
            for parameter in range(rng.randint(0, 5)):
                default = rng.choice(['', ' default="%d"' % rng.randint(0, 99), ' default="1.%s0"' % parameter])
                lines.append('\t\t\t\t<P%d type="integer"%s/>' % (parameter, default))
            lines.append('\t\t\t</Set%d></%s>' % (number % 2, group))
        lines.append('\t\t</Mod%d>' % module)
    lines.append('\t</Params>')
    return '\n'.join(lines) + '\n'


class GeneratedModels(unittest.TestCase):
    def test_against_a_mirror_built_with_etree(self):
        rng = random.Random(1207)
        for _ in range(60):
            inside = generated_model(rng)
            multi_sets = rng.choice([1, 2, 4])
            text = written(inside, multi_sets=str(multi_sets))
            self.assertEqual(text[-65:], trailer(text[:-65]))
            expected = mirror(body(attributes(str(multi_sets)), inside + MENU), multi_sets)
            self.assertEqual(canonical(section(text)), canonical(expected), inside)


if __name__ == '__main__':
    unittest.main()
