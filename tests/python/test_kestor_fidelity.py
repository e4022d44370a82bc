# What the parameter file keeps of a model and what a refused load tells:
# numeric character references read back by a standard XML reader, implausible
# values listed under every view of a multi-set parameter, GetLoadResult with
# the code and message of each refusal, and MD5 from the crypto library under
# a configuration that admits approved algorithms only or offers no MD5.
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

import Kestor
from kestor_support import ATTRIBUTES, INSIDE, body, engine_bytes, model


def parameter_file(text):
    creator = Kestor.DeviceModelCreator(text)
    assert creator.CreateCustomerDeviceParameter('gen', 'today') is True, creator.GetLoadResult()
    return creator.WriteCustomerAllParameter('me', 'now')


def read_back(text):
    return ET.fromstring(engine_bytes(text))


class CharacterReferences(unittest.TestCase):
    def test_a_standard_reader_gets_the_characters(self):
        inside = INSIDE.replace('default="5"/>', 'default="5"/>\n\t\t\t\t<Bay default="Bay &#65;1"/>\n'
                                '\t\t\t\t<Hex default="&#x42;&#x61;y &amp; &lt;x&gt;"/>')
        written = parameter_file(model(inside=inside))
        self.assertIn('<Bay>Bay &#65;1</Bay>', written)
        tree = read_back(written)
        self.assertEqual(tree.find('.//Bay').text, 'Bay A1')
        self.assertEqual(tree.find('.//Hex').text, 'Bay & <x>')

    def test_attribute_values_keep_their_references(self):
        written = parameter_file(model(ATTRIBUTES.replace('device="DEV1"', 'device="D&#69;V1"')))
        self.assertEqual(read_back(written).get('device'), 'DEV1')


# A type-code rule lowers the max of a multi-set parameter, so its value is
# implausible in set 1 and in set 2; each set's view lies under the menu
# element of its set number.
PER_SET_VIEWS = (
    '\t<Params type="sectionMDM">\n'
    '\t\t<Opt type="mdm" installed="true" projected="true"><Code based="paraSet" type="sectionSingleSet">\n'
    '\t\t\t<Inputs type="selection" ref="Lists/Inputs" default="CT4">\n'
    '\t\t\t\t<Rule type="typeCodeDependents" check="eq" with="CT3">\n'
    '\t\t\t\t\t<Then type="then"><Act set="3" attRef="Params/Prot/Set/Limit@max"/></Then>\n'
    '\t\t\t\t</Rule>\n'
    '\t\t\t</Inputs>\n'
    '\t\t</Code></Opt>\n'
    '\t\t<Prot type="mdm" installed="true" projected="true"><Set based="paraSet" type="sectionMultiSet">\n'
    '\t\t\t<Limit type="integer" min="0" max="10" default="5"/>\n'
    '\t\t</Set></Prot>\n'
    '\t</Params>\n'
    '\t<Lists><Inputs type="staticSelectionList"><CT3 code="A"/><CT4 code="B"/></Inputs></Lists>\n'
    '\t<Maps><M type="mapping" ref="Params/Opt/Code" with="pathTypeCode"/></Maps>\n'
    '\t<Hmi mode="menuTree">\n'
    '\t\t<Top type="root">\n'
    '\t\t\t<Device type="entryList" mode="typeCode"><e type="entry" entryRef="Params/Opt/Code/Inputs"/></Device>\n'
    '\t\t\t<Set1 setNo="1"><Limits><E entryRef="Params/Prot/Set/Limit"/></Limits></Set1>\n'
    '\t\t\t<Set2 setNo="2"><Limits><E entryRef="Params/Prot/Set/Limit"/></Limits></Set2>\n'
    '\t\t</Top>\n'
    '\t</Hmi>\n')


class ImplausibleValuesPerView(unittest.TestCase):
    def test_a_value_implausible_in_two_sets_stands_under_both_views(self):
        attributes = ATTRIBUTES + ' productLine="Pemba_Line_V2"'
        creator = Kestor.DeviceModelCreator(model(attributes, PER_SET_VIEWS))
        self.assertIs(creator.CreateCustomerDeviceParameter('gen', 'today'), True)
        self.assertIsNone(read_back(creator.WriteCustomerAllParameter('me', 'now')).find('ImplausibleValues'))
        self.assertIs(creator.SetTypecode('DEV1A'), True)
        tree = read_back(creator.WriteCustomerAllParameter('me', 'now'))
        listed = [(v.tag, v.get('viewRef'), v.get('valueRef')) for v in tree.find('ImplausibleValues')]
        self.assertEqual(listed, [('Value1', '/root/Hmi/Top/Set1/Limits', '/root/Params/Prot/Set/Limit'),
                                  ('Value2', '/root/Hmi/Top/Set2/Limits', '/root/Params/Prot/Set/Limit')])


class LoadResults(unittest.TestCase):
    def test_code_and_message_of_every_refusal(self):
        invalid = 'Invalid device model!\n'
        cases = [
            (model(), 0, ''),
            (body(), 1, invalid + 'Missing or invalid checksum'),
            ('', 1, invalid + 'Missing or invalid checksum'),
            (model(ATTRIBUTES.replace('versionSyntax="16"', 'versionSyntax="17"')), 2,
             invalid + "Device model syntax format '17' not supported with this application."),
            (model(ATTRIBUTES.replace('device="DEV1"', '')), 3, invalid + 'Missing necessary main attributes'),
            (model(inside=INSIDE.replace(' mode="menuTree"', '')), 4,
             invalid + "None necessary element found with attribute name 'mode' and value = 'menuTree'"),
            (model(inside=INSIDE.replace('type="root"', 'type="main"')), 5,
             invalid + "None attribute value 'root' in HMI menu tree found!"),
            (model(inside=INSIDE.replace('</Hmi>', '')), 6, invalid + 'Any other parsing error'),
        ]
        for text, code, message in cases:
            creator = Kestor.DeviceModelCreator(text)
            self.assertEqual(creator.GetLoadResult(), (0, ''))  # nothing loaded yet
            self.assertIs(creator.CreateCustomerDeviceParameter('g', 'c'), code == 0)
            self.assertEqual(creator.GetLoadResult(), (code, message), text[-200:])
            creator.CreateCustomerDeviceParameter('g', 'c')  # a second call keeps the answer
            self.assertEqual(creator.GetLoadResult(), (code, message))


# OpenSSL configurations: one whose default query asks for approved algorithms
# only (MD5 is not one), one that loads a provider without any digest.
APPROVED_ONLY = '''openssl_conf = init
[init]
providers = providers
alg_section = algorithms
[algorithms]
default_properties = fips=yes
[providers]
default = active
[active]
activate = 1
'''
NO_DIGESTS = '''openssl_conf = init
[init]
providers = providers
[providers]
base = active
[active]
activate = 1
'''
CHILD = '''
import sys
import Kestor
creator = Kestor.DeviceModelCreator(open(sys.argv[1], 'rb').read())
accepted = creator.CreateCustomerDeviceParameter('g', 'c')
sys.stdout.write(repr((accepted, creator.GetLoadResult())))
'''


class Md5FromTheCryptoLibrary(unittest.TestCase):
    def load_under(self, configuration):
        directory = tempfile.mkdtemp()
        try:
            path = os.path.join(directory, 'openssl.cnf')
            with open(path, 'w') as f:
                f.write(configuration)
            model_path = os.path.join(directory, 'model.xml')
            with open(model_path, 'wb') as f:  # the trailer computed here, outside the configuration
                f.write(engine_bytes(model()))
            env = dict(os.environ, OPENSSL_CONF=path)
            child = subprocess.Popen([sys.executable, '-c', CHILD, model_path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=env, universal_newlines=True)
            out, err = child.communicate()
        finally:
            shutil.rmtree(directory)
        self.assertEqual(child.returncode, 0, err)
        return eval(out)

    def test_approved_only_default_query_still_loads(self):
        self.assertEqual(self.load_under(APPROVED_ONLY), (True, (0, '')))

    def test_no_md5_at_all_names_the_cause(self):
        accepted, (code, message) = self.load_under(NO_DIGESTS)
        self.assertIs(accepted, False)
        self.assertEqual(code, 1)
        self.assertTrue(message.startswith('Invalid device model!\nMD5 checksum not available from the crypto '
                                           'library: error:'), message)


if __name__ == '__main__':
    unittest.main()
