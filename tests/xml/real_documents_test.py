#!/usr/bin/env python3
"""Real documents: every XML file under a directory (the system's shared data)
that Python's xml.etree reads is parsed by our parser, written back by our
writer, and the written text is read by xml.etree again. Both readings must
give the same elements in the same order, with the same names, attributes and
text. The writer indents, so text is compared without its whitespace; our
parser keeps numeric character references as text, so both sides have them
decoded before comparing. Files that declare entities or attribute defaults of
their own (xml.etree applies them, we keep the text as it is), or that
are not in an ASCII-compatible encoding, are left out.

usage: real_documents_test.py REWRITE_TOOL DIRECTORY
Exit code 77 (skipped) when no file qualifies."""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

MAX_SIZE = 4 * 1024 * 1024
NUMERIC = re.compile(r'&#(x[0-9a-fA-F]+|[0-9]+);')
WHITESPACE = re.compile(r'\s+')


def decode_numeric(text):
    def one(match):
        code = match.group(1)
        try:
            return chr(int(code[1:], 16) if code[0] == 'x' else int(code))
        except (ValueError, OverflowError):
            return match.group(0)
    return NUMERIC.sub(one, text)


def canonical(root):
    """Elements in document order: (tag, attributes, direct text)."""
    out = []
    stack = [root]
    while stack:
        element = stack.pop()
        if not isinstance(element.tag, str):
            continue
        text = (element.text or '') + ''.join(child.tail or '' for child in element)
        attributes = sorted((k, decode_numeric(v)) for k, v in element.attrib.items())
        out.append((element.tag, attributes, WHITESPACE.sub('', decode_numeric(text))))
        stack.extend(reversed(list(element)))
    return out


def candidates(directory):
    for base, _, names in os.walk(directory):
        for name in sorted(names):
            if not name.endswith('.xml'):
                continue
            path = os.path.join(base, name)
            if os.path.islink(path) or not os.path.isfile(path) or os.path.getsize(path) > MAX_SIZE:
                continue
            with open(path, 'rb') as f:
                data = f.read()
            if b'\0' in data or b'<!ENTITY' in data or b'<!ATTLIST' in data or data.startswith((b'\xff\xfe', b'\xfe\xff')):
                continue
            try:
                expected = canonical(ET.fromstring(data))
            except (ET.ParseError, ValueError, RecursionError):
                continue
            yield path, expected


def main():
    tool, directory = sys.argv[1], sys.argv[2]
    files = list(candidates(directory))
    if not files:
        print('no XML documents found under', directory)
        return 77
    failures = 0
    with tempfile.TemporaryDirectory() as out:
        batch = 200
        for start in range(0, len(files), batch):
            chunk = files[start:start + batch]
            os.makedirs(os.path.join(out, str(start)))
            subprocess.run([tool, os.path.join(out, str(start))] + [p for p, _ in chunk], check=True)
            for index, (path, expected) in enumerate(chunk):
                written = os.path.join(out, str(start), '%d.xml' % index)
                try:
                    with open(written, 'rb') as f:
                        actual = canonical(ET.fromstring(f.read()))
                except ET.ParseError as error:
                    print('FAIL %s: written text does not parse: %s' % (path, error))
                    failures += 1
                    continue
                if actual != expected:
                    first = next(i for i, (a, b) in enumerate(zip(actual + [None], expected + [None])) if a != b)
                    print('FAIL %s: element %d differs:\n  ours     %r\n  expected %r' %
                          (path, first, actual[first] if first < len(actual) else None,
                           expected[first] if first < len(expected) else None))
                    failures += 1
    print('%d documents compared, %d differ' % (len(files), failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
