# Builds the hardware-information image of a CPU board (common record version 3,
# CPU detail record version 4) field by field, writes its 512 bytes to a file,
# reads the file back through a reading-side chain and prints the fields.
# Usage: python2.7 cpu_v4_image.py <image file>
from __future__ import print_function

import sys

import TORVANE

IMAGE_SIZE = 512
MODULES = ['UART-2', 'UART-3', 'Flash', 'Ethernet', 'Profibus']


def build(path):
    root = TORVANE.IHwInfoRoot()
    base = TORVANE.IHwInfoBase(root)
    common = TORVANE.IHwInfoTest_Common_V3(base)
    cpu = TORVANE.IHwInfoTestDetail_Cpu_V4(common)
    results = [
        common.SetThWorkorder('WO-2211-015'), common.SetThItem('CPU-BOARD-A2'), common.SetThRevision('B01'),
        common.SetSmtSerialNumber('SMT000123456'), common.SetSmtItem('CPU-SMT-A2'), common.SetSmtRevision('A03'),
        common.SetCheckDate('15-11-22'), common.SetHwComponentName('CPU-A2'), common.SetHwComponentRevision(3),
        cpu.SetSerialNumber('RL000042'), cpu.SetDeliveryItem('RELAY-7SX-CPU+F2'), cpu.SetDeliveryRevision('C02'),
        cpu.SetMacId('00-1A-2B-3C-4D-5E'), cpu.SetMacId2('00-1A-2B-3C-4D-5F'), cpu.SetSystemFrequency(100000000),
        cpu.SetCheckDate('16-11-22'),
        cpu.SetThWorkorder('Ethernet', 'WO-2211-020'), cpu.SetThItem('Ethernet', 'ETH-MODULE-2'),
        cpu.SetCheckDate('Ethernet', '14-11-22'), cpu.SetHwComponentName('Ethernet', 'ETH-2'),
        cpu.SetHwComponentRevision('Ethernet', 5),
    ]
    if any(r != 0 for r in results):
        raise SystemExit('a field was refused')
    buf = TORVANE.new_Eprom(IMAGE_SIZE)
    try:
        cpu.Write(buf)
        data = bytearray(TORVANE.Eprom_get(buf, i) for i in range(IMAGE_SIZE))
    finally:
        TORVANE.delete_Eprom(buf)
    with open(path, 'wb') as f:
        f.write(data)


def show(path):
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    if len(data) != IMAGE_SIZE:
        raise SystemExit('%s: not a %d-byte image' % (path, IMAGE_SIZE))
    buf = TORVANE.new_Eprom(IMAGE_SIZE)
    try:
        for i, b in enumerate(data):
            TORVANE.Eprom_set(buf, i, b)
        base = TORVANE.IHwInfoBase(TORVANE.IHwInfoRoot())
        common = TORVANE.IHwInfoDev_Common_V3(base)
        cpu = TORVANE.IHwInfoDevDetail_Cpu_V4(common)
        valid = cpu.Read(buf)
    finally:
        TORVANE.delete_Eprom(buf)
    print('image valid:        ', valid, '(common ID %d, detail ID 0x%04X)' % (base.GetCommonID(), common.GetDetailID()))
    print('work order / item:  ', common.GetThWorkorder(), common.GetThItem(), common.GetThRevision())
    print('board check date:   ', common.GetCheckDate())
    print('serial number:      ', cpu.GetSerialNumber())
    print('delivery item:      ', cpu.GetDeliveryItemExtended(), 'revision', cpu.GetDeliveryRevision())
    print('MAC addresses:      ', cpu.GetMacId(), cpu.GetMacId2())
    print('system frequency:   ', cpu.GetSystemFrequency())
    print('device check date:  ', cpu.GetCheckDate())
    for module in MODULES:
        if cpu.GetThWorkorder(module):
            print('module %-12s ' % (module + ':'), cpu.GetThWorkorder(module), cpu.GetThItem(module),
                  cpu.GetCheckDate(module), cpu.GetHwComponentName(module), cpu.GetHwComponentRevision(module))


if __name__ == '__main__':
    if len(sys.argv) != 2:
        raise SystemExit('usage: cpu_v4_image.py <image file>')
    build(sys.argv[1])
    show(sys.argv[1])
