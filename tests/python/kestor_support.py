"""Device model texts for the _Kestor tests, with their MD5 trailer computed
here by Python's own hashlib (independent of the module under test)."""
import hashlib
import os

ATTRIBUTES = 'device="DEV1" versionContent="1.0" multiSets="2" versionSyntax="16"'

INSIDE = ('\t<Params type="sectionMDM">\n'
          '\t\t<Prot type="mdm" installed="true" projected="true">\n'
          '\t\t\t<Set based="paraSet" type="sectionSingleSet">\n'
          '\t\t\t\t<Limit type="integer" min="0" max="10" default="5"/>\n'
          '\t\t\t</Set>\n'
          '\t\t</Prot>\n'
          '\t</Params>\n'
          '\t<Hmi mode="menuTree">\n'
          '\t\t<Top type="root"/>\n'
          '\t</Hmi>\n')


def body(attributes=ATTRIBUTES, inside=INSIDE):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<root %s>\n%s</root>\n' % (attributes, inside))


def engine_bytes(text):
    """The bytes the engine sees for a text: Python 2.7 and bytes objects as they
    are, Python 3 str encoded as UTF-8 (lone escapes back to their bytes)."""
    return text if isinstance(text, bytes) else text.encode('utf-8', 'surrogateescape')


def trailer(text, digest=None):
    data = engine_bytes(text)
    return '<!--CHECKSUM:%s LENGTH:%08x-->\n' % (digest or hashlib.md5(data).hexdigest(), len(data))


def model(attributes=ATTRIBUTES, inside=INSIDE):
    text = body(attributes, inside)
    return text + trailer(text)


EXAMPLE_MODEL = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'examples', 'device_model',
                             'relay_model.xml')


def example_model():
    with open(EXAMPLE_MODEL, 'rb') as f:
        return f.read()
