#!/usr/bin/env python2.7
"""Generates the customer parameter file of a relay's device model with the
_Kestor module: loads and checks the model, shows the type code and the
software component signatures, and writes the stamped parameter file.

usage: generate_parameter_file.py MODEL.xml [PARAMETER_FILE.xml]
Without a second argument the parameter file goes to standard output."""
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
        sys.stderr.write('%s: the device model was rejected\n' % argv[1])
        return 1
    sys.stderr.write('type code: %s\n' % creator.GetTypecode())
    for signature in creator.GetSwComponentSignatureVector():
        sys.stderr.write('software component: %s\n' % signature)
    text = creator.WriteCustomerAllParameter(getpass.getuser(), now)
    if len(argv) == 3:
        with open(argv[2], 'wb') as out:
            out.write(text)
        sys.stderr.write('parameter file written to %s (%d bytes)\n' % (argv[2], len(text)))
    else:
        sys.stdout.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
