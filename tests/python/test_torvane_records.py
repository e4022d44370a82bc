# Every record kind through the flat functions of _TORVANE: every field set from
# Python, Write into an Eprom buffer, the 512 bytes compared with the image the
# layout prescribes, then read back through a reading-side chain and every
# getter compared.
import unittest

import _TORVANE as T
from torvane_support import Expected, buffer_bytes, call, f32, le16, le32, new_chain, text

# A field: (setter, setter arguments, getter, getter arguments, answer,
#           offset in the record, expected bytes). A setter of None is a getter-only
# check; an offset of None checks no bytes.


def identity_v1(first):
    """Common V1 after its detail ID, or Cpu V1 (first = offset of FaNumber)."""
    o = first
    return [
        ('SetFaNumber', ('FA1234567890',), 'GetFaNumber', (), 'FA1234567890', o, text('FA1234567890', 13)),
        ('SetModuleName', ('MODULE-NAME-20-CHARS',), 'GetModuleName', (), 'MODULE-NAME-20-CHARS', o + 13,
         text('MODULE-NAME-20-CHARS', 21)),
        ('SetModuleIndex', ('B',), 'GetModuleIndex', (), 'B', o + 34, text('B', 2)),
        ('SetModuleSubIndex', (200,), 'GetModuleSubIndex', (), 200, o + 36, [200]),
        ('SetReserve', (0xDEADBEEF,), 'GetReserve', (), 0xDEADBEEF, o + 37, [0xEF, 0xBE, 0xAD, 0xDE]),
        ('SetCheckDate', ('22.11.15 11',), 'GetCheckDate', (), '22.11.15 11', o + 41, text('22.11.15 11', 12)),
        ('SetHwComponentName', ('HWC-007',), 'GetHwComponentName', (), 'HWC-007', o + 53, text('HWC-007', 8)),
        ('SetHwComponentRevision', (0xBEEF,), 'GetHwComponentRevision', (), 0xBEEF, o + 61, [0xEF, 0xBE]),
    ]


COMMON_V2 = [
    ('SetFaNumber', ('0+', 'FA0000000012'), 'GetFaNumber', ('0+',), 'FA0000000012', 2, text('FA0000000012', 12)),
    ('SetModuleName', ('0+', '0+ABCDEFGHIJKLMNOPQR'), 'GetModuleName', ('0+',), '0+ABCDEFGHIJKLMNOPQR', 14,
     text('ABCDEFGHIJKLMNOPQR', 18)),
    (None, (), 'GetModuleName', ('Dev',), 'DeABCDEFGHIJKLMNOPQR', None, None),
    ('SetModuleSubIndex', ('0+', 17), 'GetModuleSubIndex', ('0+',), 17, 32, [17]),
    ('SetFaNumber', ('0<', 'FA-SLOT-1'), 'GetFaNumber', ('0<',), 'FA-SLOT-1', 33, text('FA-SLOT-1', 12)),
    ('SetModuleName', ('0<', '0<NAME-ONE'), 'GetModuleName', ('0<',), '0<NAME-ONE', 45, text('NAME-ONE', 18)),
    ('SetModuleSubIndex', ('0<', 255), 'GetModuleSubIndex', ('0<',), 255, 63, [255]),
    ('SetCheckDate', ('221115:1103',), 'GetCheckDate', (), '221115:1103', 64, [22, 11, 15, 11, 3]),
    ('SetHwComponentName', ('HWV2-6',), 'GetHwComponentName', (), 'HWV2-6', 69, text('HWV2-6', 6)),
    ('SetHwComponentRevision', (513,), 'GetHwComponentRevision', (), 513, 75, [1, 2]),
]


def assembly_group(o, tag, selector=()):
    """The through-hole and surface-mount group: common V3 after its detail ID
    or one Cpu V4 module group."""
    s = selector
    return [
        ('SetThWorkorder', s + ('WO-%s-45678' % tag,), 'GetThWorkorder', s, 'WO-%s-45678' % tag, o,
         text('WO-%s-45678' % tag, 11)),
        ('SetThItem', s + ('THITEM-%s-CHARS' % tag,), 'GetThItem', s, 'THITEM-%s-CHARS' % tag, o + 11,
         text('THITEM-%s-CHARS' % tag, 15)),
        ('SetThRevision', s + ('A' + tag,), 'GetThRevision', s, 'A' + tag, o + 26, text('A' + tag, 3)),
        ('SetSmtSerialNumber', s + ('SMT-SN-000' + tag,), 'GetSmtSerialNumber', s, 'SMT-SN-000' + tag, o + 29,
         text('SMT-SN-000' + tag, 12)),
        ('SetSmtItem', s + ('SMTITEM-FIFTE' + tag,), 'GetSmtItem', s, 'SMTITEM-FIFTE' + tag, o + 41,
         text('SMTITEM-FIFTE' + tag, 15)),
        ('SetSmtRevision', s + ('B' + tag[0],), 'GetSmtRevision', s, 'B' + tag[0], o + 56, text('B' + tag[0], 2)),
        ('SetCheckDate', s + ('%s-11-22' % tag,), 'GetCheckDate', s, '%s-11-22' % tag, o + 59, [int(tag), 11, 22]),
        ('SetHwComponentName', s + ('HWNAME' + tag,), 'GetHwComponentName', s, 'HWNAME' + tag, o + 62,
         text('HWNAME' + tag, 8)),
        ('SetHwComponentRevision', s + (0x0100 + int(tag),), 'GetHwComponentRevision', s, 0x0100 + int(tag), o + 70,
         le16(0x0100 + int(tag))),
    ]


CPU_V2_MODULES = ['UART-2', 'UART-3', 'Flash', 'Ethernet', 'Profibus']


def cpu_v2_fields():
    fields = [
        ('SetFaNumber', ('Device', '0+', 'DEVICE-FA-12'), 'GetFaNumber', ('Device', '0+'), 'DEVICE-FA-12', 0,
         text('DEVICE-FA-12', 12)),
        ('SetModuleName', ('Device', '0+', 'DEVICE-WHOLE-NAME-20'), 'GetModuleName', ('Device', 'Dev'),
         'DEVICE-WHOLE-NAME-20', 12, text('DEVICE-WHOLE-NAME-20', 20)),
        ('SetCheckDate', ('Device', '240229:2359'), 'GetCheckDate', ('Device',), '240229:2359', 32,
         [24, 2, 29, 23, 59]),
        ('SetHwComponentName', ('Device', 'DEV-HW'), 'GetHwComponentName', ('Device',), 'DEV-HW', 37,
         text('DEV-HW', 6)),
        ('SetHwComponentRevision', ('Device', 0x1234), 'GetHwComponentRevision', ('Device',), 0x1234, 43,
         [0x34, 0x12]),
    ]
    for g, m in enumerate(CPU_V2_MODULES, 1):
        o = 45 + 75 * (g - 1)
        n = str(g)
        fields += [
            ('SetFaNumber', (m, '0+', 'FA-S0-G' + n), 'GetFaNumber', (m, '0+'), 'FA-S0-G' + n, o,
             text('FA-S0-G' + n, 12)),
            ('SetModuleName', (m, '0+', '0+NAME-S0-G' + n), 'GetModuleName', (m, '0+'), '0+NAME-S0-G' + n, o + 12,
             text('NAME-S0-G' + n, 18)),
            (None, (), 'GetModuleName', (m, 'Dev'), 'DeNAME-S0-G' + n, None, None),
            ('SetModuleSubIndex', (m, '0+', 10 + g), 'GetModuleSubIndex', (m, '0+'), 10 + g, o + 30, [10 + g]),
            ('SetFaNumber', (m, '0<', 'FA-S1-G' + n), 'GetFaNumber', (m, '0<'), 'FA-S1-G' + n, o + 31,
             text('FA-S1-G' + n, 12)),
            ('SetModuleName', (m, '0<', '0<NAME-S1-G' + n), 'GetModuleName', (m, '0<'), '0<NAME-S1-G' + n, o + 43,
             text('NAME-S1-G' + n, 18)),
            ('SetModuleSubIndex', (m, '0<', 20 + g), 'GetModuleSubIndex', (m, '0<'), 20 + g, o + 61, [20 + g]),
            ('SetCheckDate', (m, '2301%d:12%d' % (10 + g, 30 + g)), 'GetCheckDate', (m,),
             '2301%d:12%d' % (10 + g, 30 + g), o + 62, [23, 1, 10 + g, 12, 30 + g]),
            ('SetHwComponentName', (m, 'HW-G' + n), 'GetHwComponentName', (m,), 'HW-G' + n, o + 67,
             text('HW-G' + n, 6)),
            ('SetHwComponentRevision', (m, 100 * g), 'GetHwComponentRevision', (m,), 100 * g, o + 73, le16(100 * g)),
        ]
    return fields


def cpu_v4_fields():
    fields = [
        ('SetSerialNumber', ('SN123456',), 'GetSerialNumber', (), 'SN123456', 0, text('SN123456', 8)),
        ('SetDeliveryItem', ('DELIVERY-ITEM15+Z9',), 'GetDeliveryItem', (), 'DELIVERY-ITEM15', 8,
         text('DELIVERY-ITEM15', 15)),
        (None, (), 'GetDeliveryFwOrderId', (), 'Z9', 400, text('Z9', 2)),
        (None, (), 'GetDeliveryItemExtended', (), 'DELIVERY-ITEM15+Z9', None, None),
        (None, (), 'GetCpuDetailSubversionId', (), 2, 399, [2]),
        ('SetDeliveryRevision', ('R07',), 'GetDeliveryRevision', (), 'R07', 23, text('R07', 3)),
        ('SetMacId', ('00-1a-2B-3c-4D-ff',), 'GetMacId', (), '00-1A-2B-3C-4D-FF', 26,
         [0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFF]),
        ('SetSystemFrequency', (100000000,), 'GetSystemFrequency', (), 100000000, 32, [0x00, 0xE1, 0xF5, 0x05]),
        ('SetCheckDate', ('31-12-99',), 'GetCheckDate', (), '31-12-99', 36, [31, 12, 99]),
        ('SetMacId2', ('10-20-30-40-50-60',), 'GetMacId2', (), '10-20-30-40-50-60', 402,
         [0x10, 0x20, 0x30, 0x40, 0x50, 0x60]),
    ]
    for g, m in enumerate(CPU_V2_MODULES):
        fields += assembly_group(39 + 72 * g, '%02d' % (g + 1), (m,))
    return fields


def netzteil_fields():
    fields = []
    for c, comp in enumerate(['Kondensator', 'Kuehlkoerper']):
        o = 44 * c
        n = str(c)
        fields += [
            ('SetFaNumber', (comp, 'NT-FA-00000' + n), 'GetFaNumber', (comp,), 'NT-FA-00000' + n, o,
             text('NT-FA-00000' + n, 12)),
            ('SetModuleName', (comp, 'XYNETZTEIL-MODULE-' + n), 'GetModuleName', (comp,), '0+NETZTEIL-MODULE-' + n,
             o + 12, text('NETZTEIL-MODULE-' + n, 18)),
            ('SetModuleSubIndex', (comp, 40 + c), 'GetModuleSubIndex', (comp,), 40 + c, o + 30, [40 + c]),
            ('SetCheckDate', (comp, '2105%d:0809' % (10 + c)), 'GetCheckDate', (comp,), '2105%d:0809' % (10 + c),
             o + 31, [21, 5, 10 + c, 8, 9]),
            ('SetHwComponentName', (comp, 'NT-HW' + n), 'GetHwComponentName', (comp,), 'NT-HW' + n, o + 36,
             text('NT-HW' + n, 6)),
            ('SetHwComponentRevision', (comp, 0x0300 + c), 'GetHwComponentRevision', (comp,), 0x0300 + c, o + 42,
             [c, 3]),
        ]
    return fields


def netzteil_v2_fields():
    fields = []
    for c, comp in enumerate(['Capacitor', 'HeatSink']):
        o = 32 * c
        n = str(c)
        fields += [
            ('SetThWorkorder', (comp, 'WO-NT2-000' + n), 'GetThWorkorder', (comp,), 'WO-NT2-000' + n, o,
             text('WO-NT2-000' + n, 11)),
            ('SetThItem', (comp, 'NT2-ITEM-' + n), 'GetThItem', (comp,), 'NT2-ITEM-' + n, o + 11,
             text('NT2-ITEM-' + n, 15)),
            ('SetThRevision', (comp, 'RV' + n), 'GetThRevision', (comp,), 'RV' + n, o + 26, text('RV' + n, 3)),
            ('SetCheckDate', (comp, '0%s-06-30' % n), 'GetCheckDate', (comp,), '0%s-06-30' % n, o + 29, [c, 6, 30]),
        ]
    return fields


def fadc_value(entry, k):
    return entry * 1.5 + k * 0.25 - 7.0


def fadc_fields():
    fields = []
    for i in range(4):
        for j in range(4):
            e = 4 * i + j
            values = tuple(fadc_value(e, k) for k in range(3))
            fields.append(('SetCalibData', (i, j) + values, 'GetCalibData', (i, j), (0,) + values, 12 * e,
                           f32(values[0]) + f32(values[1]) + f32(values[2])))
    fields.append((None, (), None, (), None, 192, [0x59, 0x52]))  # stamped on every write
    fields.append((None, (), None, (), None, 194, [0, 0]))
    return fields


def mkair_fields():
    fields = []
    for i in range(8):
        for j in range(4):
            e = 4 * i + j
            values = (e * -0.5 + 0.125, e * -0.5 + 100.125)
            fields.append(('SetCalibData', (i, j) + values, 'GetCalibData', (i, j), (0,) + values, 8 * e,
                           f32(values[0]) + f32(values[1])))
    fields.append((None, (), None, (), None, 256, [0, 0, 0, 0]))
    return fields


# Common records: (class suffix, common ID, size, fields).
COMMONS = {
    'Common': (1, 65, [(None, (), 'GetDetailID', (), 0, 0, [0, 0])] + identity_v1(2)),
    'Common_V2': (2, 77, [(None, (), 'GetDetailID', (), 0, 0, [0, 0])] + COMMON_V2),
    'Common_V3': (3, 74, [(None, (), 'GetDetailID', (), 0, 0, [0, 0])] + assembly_group(2, '12')),
}

# Detail records: (class suffix, common suffix, detail ID, size, fields).
DETAILS = [
    ('Cpu', 'Common', 0x0201, 63, identity_v1(0)),
    ('Cpu_V2', 'Common_V3', 0x0202, 420, cpu_v2_fields()),
    ('Cpu_V3', 'Common_V3', 0x0203, 424,
     cpu_v2_fields() + [('SetSystemFrequency', (0xCAFEF00D,), 'GetSystemFrequency', (), 0xCAFEF00D, 420,
                         le32(0xCAFEF00D))]),
    ('Cpu_V4', 'Common_V3', 0x0204, 408, cpu_v4_fields()),
    ('Netzteil', 'Common_V2', 0x0301, 88, netzteil_fields()),
    ('Netzteil_V2', 'Common_V3', 0x0302, 64, netzteil_v2_fields()),
    ('HMI', 'Common', 0x0401, 2, [('SetContrastOffset', (-5,), 'GetContrastOffset', (), 65531, 0, [0xFB, 0xFF])]),
    ('HMI_V2', 'Common_V3', 0x0402, 2,
     [('SetContrastOffset', (32767,), 'GetContrastOffset', (), 32767, 0, [0xFF, 0x7F])]),
    ('FADC', 'Common', 0x0101, 196, fadc_fields()),
    ('MKAIR', 'Common_V2', 0x0501, 260, mkair_fields()),
]


class RecordKinds(unittest.TestCase):

    def write_and_read(self, writer_classes, reader_classes, fields, expected, record_start):
        writers = new_chain(*writer_classes)
        writer, writer_class = writers[-1], writer_classes[-1]
        for setter, args, _, _, _, _, _ in fields:
            if setter:
                self.assertEqual(call(writer_class, setter, writer, *args), 0, (setter, args))
        buf = T.new_Eprom(512)
        try:
            self.assertIsNone(call(writer_class, 'Write', writer, buf))
            image = buffer_bytes(buf)
            for _, _, _, _, _, offset, values in fields:
                if offset is not None:
                    expected.put(record_start + offset, values)
            expected.seal()
            for i in range(512):
                self.assertEqual(image[i], expected.bytes[i], 'offset %d' % i)

            readers = new_chain(*reader_classes)
            reader, reader_class = readers[-1], reader_classes[-1]
            self.assertIs(call(reader_class, 'Read', reader, buf), True)
            self.assertIs(T.IHwInfoBase_IsCheckSumValid(readers[1]), True)
            for _, _, getter, args, answer, _, _ in fields:
                if getter:
                    self.assertEqual(call(reader_class, getter, reader, *args), answer, (getter, args))
            for handle, cls in reversed(list(zip(readers, ['IHwInfoRoot', 'IHwInfoBase'] + reader_classes))):
                getattr(T, 'delete_' + cls)(handle)
            for handle, cls in reversed(list(zip(writers, ['IHwInfoRoot', 'IHwInfoBase'] + writer_classes))):
                getattr(T, 'delete_' + cls)(handle)
        finally:
            T.delete_Eprom(buf)

    def test_common_records(self):
        for suffix, (common_id, size, fields) in sorted(COMMONS.items()):
            expected = Expected().put(4, le16(common_id)).zero(6, size)
            self.write_and_read(['IHwInfoTest_' + suffix], ['IHwInfoDev_' + suffix], fields, expected, 6)

    def test_detail_records(self):
        for suffix, common, detail_id, size, fields in DETAILS:
            common_id, common_size, _ = COMMONS[common]
            start = 6 + common_size
            expected = Expected().put(4, le16(common_id)).zero(6, common_size).put(6, le16(detail_id))
            expected.zero(start, size)
            self.write_and_read(['IHwInfoTest_' + common, 'IHwInfoTestDetail_' + suffix],
                                ['IHwInfoDev_' + common, 'IHwInfoDevDetail_' + suffix], fields, expected, start)

    def test_used_bytes_of_every_kind(self):
        for suffix, common, _, size, _ in DETAILS:
            handles = new_chain('IHwInfoDev_' + common, 'IHwInfoDevDetail_' + suffix)
            self.assertEqual(T.IHwInfo_UsedBytes(handles[-1]), 6 + COMMONS[common][1] + size, suffix)
            self.assertEqual(T.IHwInfo_UsedBytes(handles[1]), 6)
            self.assertEqual(T.IHwInfo_UsedBytes(handles[0]), 0)


if __name__ == '__main__':
    unittest.main()
