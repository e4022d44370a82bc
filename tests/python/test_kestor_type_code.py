"""_Kestor's type code and signatures from Python 2.7: GetTypecode,
SetTypecode (round trips, refusals, partial changes, items without code,
long codes, values taken literally), the implausible values a type code
makes through its dependency rules, cyclic rules, the software signatures,
the bundled example and generated models."""
import random
import time
import unittest
import xml.etree.ElementTree as ET

import Kestor
from kestor_support import example_model, model, trailer

PARAMS = '''\t<Params type="sectionMDM">
\t\t<Opt type="mdm" installed="true" projected="true"><TypeCode based="paraSet" type="sectionSingleSet">
\t\t\t<Inputs type="selection" ref="Lists/Inputs" default="CT4">
\t\t\t\t<Dep type="typeCodeDependents" check="eq" with="CT3">
\t\t\t\t\t<T type="then"><X set="5" attRef="Params/Prot/Set/Limit@max"/><X set="5" attRef="Params/Prot/Set/Other@max"/></T>
\t\t\t\t\t<E type="else"><X set="10" attRef="Params/Prot/Set/Limit@max"/><X set="10" attRef="Params/Prot/Set/Other@max"/></E>
\t\t\t\t</Dep>
\t\t\t</Inputs>
\t\t\t<Comm type="selection" ref="Lists/Comm" default="None"/>
\t\t\t<Hw type="selection" ref="Lists/Hw" default="%(hw)s"/>
\t\t</TypeCode></Opt>
\t\t<Prot type="mdm" installed="true" projected="true"><Set based="paraSet" type="sectionSingleSet">
\t\t\t<Limit type="integer" min="0" max="10" default="8"/>
\t\t\t<Other type="integer" min="0" max="10" default="9"/>
\t\t</Set></Prot>
\t\t<Sigs>
\t\t\t<SwA type="mdm" installed="true"><Sig based="paraSet"><Main default="1.0"/></Sig></SwA>
\t\t\t<SwB type="mdm" installed="false"><Sig based="paraSet"><Boot default="9.9"/></Sig></SwB>
\t\t</Sigs>
\t</Params>
\t<Lists>
\t\t<Inputs type="staticSelectionList"><CT3 code="A"/><CT4 code="B"/></Inputs>
\t\t<Comm type="staticSelectionList"><None code="0"/><NoCode/><Modbus code="MB"/><Star code="S"/></Comm>
\t\t<Hw type="staticSelectionList"><H1 code="1"/><H2 code="2"/><CT3 code="Z"/></Hw>
\t</Lists>
\t<Maps><M type="mapping" ref="Params/Opt/TypeCode" with="pathTypeCode"/><N ref="Params/Sigs" with="pathSignatureSW"/></Maps>
\t<Hmi mode="menuTree"><Top type="root">
\t\t<Device type="entryList" mode="typeCode"><e1 type="entry" entryRef="Params/Opt/TypeCode/Inputs"/><e2 type="entry" entryRef="Params/Opt/TypeCode/Comm"/><e3 type="entry" entryRef="Params/Opt/TypeCode/Hw"/></Device>
\t\t<ProtView type="entryList"><l type="entry" entryRef="Params/Prot/Set/Limit"/></ProtView>
\t\t<AView type="entryList"><o type="entry" entryRef="Params/Prot/Set/Other"/></AView>
\t</Top></Hmi>
'''

ATTRIBUTES = 'device="RX" versionContent="1" multiSets="1" versionSyntax="12"'


def creator(hw='H1', inside=None):
    c = Kestor.DeviceModelCreator(model(ATTRIBUTES, inside or PARAMS % {'hw': hw}))
    assert c.CreateCustomerDeviceParameter('g', 'c') is True
    return c


class TypeCode(unittest.TestCase):
    def test_read_from_the_defaults(self):
        self.assertEqual(creator().GetTypecode(), 'RXB01')

    def test_round_trip(self):
        c = creator()
        for code in ('RXA02', 'RXB01', 'RXAS2', 'RXB02'):
            self.assertIs(c.SetTypecode(code), True, code)
            self.assertEqual(c.GetTypecode(), code)

    def test_device_name_alone_or_another_device_is_refused(self):
        c = creator()
        self.assertIs(c.SetTypecode('RX'), False)
        self.assertIs(c.SetTypecode(''), False)
        self.assertIs(c.SetTypecode('XXA02'), False)
        self.assertIs(c.SetTypecode('rXA02'), False)
        self.assertEqual(c.GetTypecode(), 'RXB01')

    def test_invalid_character_keeps_the_positions_before_it(self):
        c = creator()
        self.assertIs(c.SetTypecode('RXA?2'), False)
        self.assertEqual(c.GetTypecode(), 'RXA01')  # Inputs changed, Comm and Hw kept
        self.assertIs(c.SetTypecode('RXBM9'), False)
        self.assertEqual(c.GetTypecode(), 'RXBMB1')

    def test_long_codes_and_items_without_code(self):
        c = creator()
        # "M" matches the first character of "MB"; the whole code is read back.
        self.assertIs(c.SetTypecode('RXAM1'), True)
        self.assertEqual(c.GetTypecode(), 'RXAMB1')
        # The item without code before "Star" neither matches nor ends the search.
        self.assertIs(c.SetTypecode('RXAS1'), True)
        self.assertEqual(c.GetTypecode(), 'RXAS1')
        text = c.WriteCustomerAllParameter('a', 'b')
        self.assertEqual(ET.fromstring(text).find('Params/Opt/TypeCode/Comm').text, 'Star')

    def test_short_and_long_codes(self):
        c = creator()
        self.assertIs(c.SetTypecode('RXA'), True)  # later positions keep their values
        self.assertEqual(c.GetTypecode(), 'RXA01')
        self.assertIs(c.SetTypecode('RXB02XYZ'), True)  # characters beyond the last position are ignored
        self.assertEqual(c.GetTypecode(), 'RXB02')

    def test_values_are_item_names_taken_literally(self):
        # A value holding wildcard characters names no item (it would match
        # "H1" or "CT3" as a pattern).
        for value in ('H*', 'C?3', '[H]1'):
            self.assertEqual(creator(hw=value).GetTypecode(), 'RXB0?', value)

    def test_without_type_code_mapping(self):
        inside = (PARAMS % {'hw': 'H1'}).replace('with="pathTypeCode"', 'with="other"')
        c = creator(inside=inside)
        self.assertEqual(c.GetTypecode(), 'RX')
        self.assertIs(c.SetTypecode('RXA01'), False)


class ImplausibleValuesFromTheTypeCode(unittest.TestCase):
    def test_rules_of_the_type_code_make_values_implausible(self):
        c = creator()
        self.assertNotIn('ImplausibleValues', c.WriteCustomerAllParameter('a', 'b'))
        # CT3 lowers the limits to 5: both values (8 and 9) are now too high.
        self.assertIs(c.SetTypecode('RXA01'), True)
        text = c.WriteCustomerAllParameter('a', 'b')
        self.assertEqual(text[-65:], trailer(text[:-65]))
        expected = ('\t<ImplausibleValues>\n'
                    '\t\t<Value1 viewRef="/root/Hmi/Top/AView" valueRef="/root/Params/Prot/Set/Other"/>\n'
                    '\t\t<Value2 viewRef="/root/Hmi/Top/ProtView" valueRef="/root/Params/Prot/Set/Limit"/>\n'
                    '\t</ImplausibleValues>\n</root>\n')
        self.assertIn(expected, text)
        self.assertEqual(text.count('<ImplausibleValues>'), 1)
        self.assertEqual(c.WriteCustomerAllParameter('a', 'b'), text)
        # Back to CT4: the limits are 10 again and the element goes.
        self.assertIs(c.SetTypecode('RXB01'), True)
        self.assertNotIn('ImplausibleValues', c.WriteCustomerAllParameter('a', 'b'))

    def test_implausible_item_stops_set_typecode(self):
        # Hw's max is H1: H2 is implausible, so the call answers False.
        inside = (PARAMS % {'hw': 'H1'}).replace('default="H1"/>', 'default="H1" max="H1"/>')
        c = creator(inside=inside)
        self.assertIs(c.SetTypecode('RXA02'), False)
        self.assertEqual(c.GetTypecode(), 'RXA02')  # the value was set before its check


class Cycles(unittest.TestCase):
    def test_cyclic_rules_end_quickly(self):
        inside = '''\t<Params type="sectionMDM"><M type="mdm"><Codes based="paraSet">
\t\t<A type="selection" ref="L/AB" default="a">
\t\t\t<R type="typeCodeDependents" check="eq" with="a"><T type="then"><X set="b" attRef="Params/M/Codes/B@default"/></T><E type="else"><X set="a" attRef="Params/M/Codes/B@default"/></E></R>
\t\t</A>
\t\t<B type="selection" ref="L/AB" default="a">
\t\t\t<R type="dependents" check="eq" with="a"><T type="then"><X set="a" attRef="Params/M/Codes/A@default"/></T><E type="else"><X set="b" attRef="Params/M/Codes/A@default"/></E></R>
\t\t</B>
\t</Codes></M></Params>
\t<L><AB type="staticSelectionList"><a code="1"/><b code="2"/></AB></L>
\t<Maps><M type="mapping" ref="Params/M/Codes" with="pathTypeCode"/></Maps>
\t<Hmi mode="menuTree"><Top type="root"/></Hmi>
'''
        c = creator(inside=inside)
        start = time.time()
        for code in ('RX1', 'RX2', 'RX12', 'RX21'):
            c.SetTypecode(code)
            self.assertEqual(len(c.GetTypecode()), 4)
        self.assertLess(time.time() - start, 10)
        self.assertTrue(c.WriteCustomerAllParameter('a', 'b').endswith('-->\n'))


class OddInput(unittest.TestCase):
    def test_long_and_odd_codes(self):
        c = creator()
        start = time.time()
        self.assertIs(c.SetTypecode('RXA0' + '1' * 200000), True)
        self.assertLess(time.time() - start, 5)
        self.assertEqual(c.GetTypecode(), 'RXA01')
        for code in ('RX\xff', 'RX ', 'RX\n', 'RXA\x80'):
            self.assertIs(c.SetTypecode(code), False, repr(code))
        self.assertEqual(c.GetTypecode(), 'RXA01')


class Signatures(unittest.TestCase):
    def test_signatures_of_installed_modules_only(self):
        self.assertEqual(creator().GetSwComponentSignatureVector(), ('Main 1.0',))

    def test_without_signature_mapping(self):
        inside = (PARAMS % {'hw': 'H1'}).replace('with="pathSignatureSW"', 'with="x"')
        self.assertEqual(creator(inside=inside).GetSwComponentSignatureVector(), ())


class Example(unittest.TestCase):
    def test_type_code_of_the_bundled_example(self):
        c = Kestor.DeviceModelCreator(example_model())
        self.assertTrue(c.CreateCustomerDeviceParameter('g', 'c'))
        self.assertEqual(c.GetTypecode(), 'RX7BI')
        self.assertIs(c.SetTypecode('RX7AM'), True)
        self.assertEqual(c.GetTypecode(), 'RX7AM')
        options = ET.fromstring(c.WriteCustomerAllParameter('a', 'b')).find('Parameters/Options/TypeCode')
        self.assertEqual([(e.tag, e.text) for e in options], [('Inputs', 'CT3'), ('Communication', 'Modbus')])
        self.assertIs(c.SetTypecode('RX7AX'), False)
        self.assertEqual(c.GetTypecode(), 'RX7AM')


def generated(rng):
    """A model with random type-code positions; answers the text and, per
    position, the list of (item name, code)."""
    positions = []
    params, lists = [], []
    for p in range(rng.randint(1, 6)):
        items = []
        for i in range(rng.randint(1, 5)):
            code = rng.choice(['', 'abcdefghijklmnopqrstuvwxyz0123456789'[p * 5 + i]])
            items.append(('I%d' % i, code))
        positions.append(items)
        params.append('<P%d type="selection" ref="L/L%d" default="I0"/>' % (p, p))
        lists.append('<L%d>%s</L%d>' % (p, ''.join('<%s%s/>' % (n, ' code="%s"' % c if c else '')
                                                    for n, c in items), p))
    inside = ('\t<Params type="sectionMDM"><M type="mdm"><Codes based="paraSet">%s</Codes></M></Params>\n'
              '\t<L>%s</L>\n\t<Maps><X type="mapping" ref="Params/M/Codes" with="pathTypeCode"/></Maps>\n'
              '\t<Hmi mode="menuTree"><Top type="root"/></Hmi>\n' % (''.join(params), ''.join(lists)))
    return inside, positions


class GeneratedModels(unittest.TestCase):
    def test_round_trips(self):
        rng = random.Random(2026)
        for _ in range(40):
            inside, positions = generated(rng)
            c = creator(inside=inside)
            initial = 'RX' + ''.join(items[0][1] or '?' for items in positions)
            self.assertEqual(c.GetTypecode(), initial)
            coded = [[code for _, code in items if code] for items in positions]
            if all(coded):
                code = 'RX' + ''.join(rng.choice(codes) for codes in coded)
                self.assertIs(c.SetTypecode(code), True, (inside, code))
                self.assertEqual(c.GetTypecode(), code)
            else:
                # A position without any code refuses every character.
                first_empty = [bool(codes) for codes in coded].index(False)
                code = 'RX' + ''.join((codes or ['x'])[0] for codes in coded)
                self.assertIs(c.SetTypecode(code), False)
                expected = 'RX' + ''.join(coded[i][0] for i in range(first_empty)) + \
                    ''.join(items[0][1] or '?' for items in positions[first_empty:])
                self.assertEqual(c.GetTypecode(), expected)


def random_rules(rng):
    """A model whose type-code parameters carry random rules on each other,
    on limits, on the module flags and on targets that do not exist."""
    count = rng.randint(2, 8)
    names = ['P%d' % i for i in range(count)]

    def target():
        return rng.choice(names + ['Missing', 'P0/Deeper'])

    def action():
        value = rng.choice(['a', 'b', '1', '2.5', 'x y', ''])
        kind = rng.randint(0, 6)
        if kind == 0:
            return '<X set="%s" attRef="Params/M/Codes/%s@default"/>' % (value, target())
        if kind == 1:
            return '<X set="%s" attRef="Params/M/Codes/%s@max"/>' % (value, target())
        if kind == 2:
            return '<X set="%s" valueRef="Params/M/Codes/%s"/>' % (value, target())
        if kind == 3:
            return '<X set="%s" attRef="Params/M@installed"/>' % rng.choice(['true', 'false'])
        if kind == 4:
            return '<X set="%s" attRef="Params/M/Codes/%s"/>' % (value, target())
        if kind == 5:
            return '<X set="%s"/>' % value
        return '<X attRef="Params/M/Codes/%s@default"/>' % target()

    def rule():
        kind = rng.choice(['dependents', 'typeCodeDependents'])
        check = rng.choice(['eq', 'gt', 'ge', 'lt', 'le', 'ne', ''])
        with_ = rng.choice(['a', 'b', '1', '2'])
        then = '<T type="then">%s</T>' % ''.join(action() for _ in range(rng.randint(0, 3)))
        other = '<E type="else">%s</E>' % ''.join(action() for _ in range(rng.randint(0, 3)))
        return '<R type="%s" check="%s" with="%s">%s%s</R>' % (kind, check, with_, then, other)

    params = ''.join('<%s type="%s" ref="L/AB" min="a" max="%s" default="%s">%s</%s>' % (
        n, rng.choice(['selection', 'integer', 'float']), rng.choice(['b', '2']), rng.choice(['a', 'b', '1']),
        ''.join(rule() for _ in range(rng.randint(0, 2))), n) for n in names)
    inside = ('\t<Params type="sectionMDM"><M type="mdm" installed="true" projected="true">'
              '<Codes based="paraSet" type="%s">%s</Codes></M></Params>\n'
              '\t<L><AB type="staticSelectionList"><a code="1"/><b code="2"/></AB></L>\n'
              '\t<Maps><X type="mapping" ref="Params/M/Codes" with="pathTypeCode"/></Maps>\n'
              '\t<Hmi mode="menuTree"><Top type="root"><V type="entryList" mode="typeCode">%s</V></Top></Hmi>\n'
              % (rng.choice(['sectionSingleSet', 'sectionMultiSet']), params,
                 ''.join('<e type="entry" entryRef="Params/M/Codes/%s"/>' % n for n in names)))
    return inside, count


class RandomRules(unittest.TestCase):
    def test_random_rule_networks_never_fail_badly(self):
        rng = random.Random(77)
        start = time.time()
        for _ in range(60):
            inside, count = random_rules(rng)
            c = Kestor.DeviceModelCreator(model(ATTRIBUTES.replace('multiSets="1"', 'multiSets="%d"' % rng.randint(1, 3)),
                                                inside))
            self.assertIs(c.CreateCustomerDeviceParameter('g', 'c'), True, inside)
            for _ in range(4):
                code = 'RX' + ''.join(rng.choice('12') for _ in range(count))
                self.assertIn(c.SetTypecode(code), (True, False))
                self.assertTrue(c.GetTypecode().startswith('RX'))
            text = c.WriteCustomerAllParameter('a', 'b')
            self.assertEqual(text[-65:], trailer(text[:-65]))
            ET.fromstring(text)
        self.assertLess(time.time() - start, 60)


if __name__ == '__main__':
    unittest.main()
