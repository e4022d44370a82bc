#!/usr/bin/env python3
"""Generates the customer parameter file of a relay's device model with the
_Kestor module: loads and checks the model, shows the type code and the
software component signatures, and writes the stamped parameter file.

usage: generate_parameter_file.py MODEL.xml [PARAMETER_FILE.xml]
Without a second argument the parameter file goes to standard output.
Runs under Python 2.7 and Python 3; the file is written byte for byte as the
module produced it, so its checksum holds."""
import getpass
import sys
import time

import Kestor


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], 'rb') as model_file:
        model = model_file.read()
    now = time.strftime('%Y-%m-%d %H:%M:%S')
    creator = Kestor.DeviceModelCreator(model)
    if not creator.CreateCustomerDeviceParameter('generate_parameter_file.py', now):
        code, message = creator.GetLoadResult()
        sys.stderr.write('%s: the device model was rejected (code %d: %s)\n' %
                         (argv[1], code, message.replace('\n', ' ').strip()))
        return 1
    sys.stderr.write('type code: %s\n' % creator.GetTypecode())
    for signature in creator.GetSwComponentSignatureVector():
        sys.stderr.write('software component: %s\n' % signature)
    text = creator.WriteCustomerAllParameter(getpass.getuser(), now)
    # Python 3 answers str decoded with surrogateescape: encoding it the same
    # way gives back the exact bytes.
    data = text if isinstance(text, bytes) else text.encode('utf-8', 'surrogateescape')
    if len(argv) == 3:
        with open(argv[2], 'wb') as out:
            out.write(data)
        sys.stderr.write('parameter file written to %s (%d bytes)\n' % (argv[2], len(data)))
    else:
        getattr(sys.stdout, 'buffer', sys.stdout).write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
