# Lifetime of record chains from Python: chains built from temporaries, handles
# dropped in every order, the chain member replaced, each in a child process so
# that a crash fails the test rather than the run; and memory that stays flat
# over thousands of create/delete cycles.
import itertools
import unittest

import _TORVANE as T
import TORVANE  # registers the proxies, so collected handles are destroyed
from torvane_support import new_chain, run_child

PRELUDE = 'import gc, itertools, _TORVANE as T, TORVANE\n'


class ChildProcessChains(unittest.TestCase):

    def run_ok(self, code):
        status, out, err = run_child(PRELUDE + code + '\nprint("done")\n')
        self.assertEqual(status, 0, 'child failed with status %s:\n%s' % (status, err))
        self.assertTrue(out.endswith('done\n'), out + err)
        self.assertNotIn('AddressSanitizer', err)
        return out

    def test_chain_from_temporaries(self):
        out = self.run_ok(
            'hmi = T.new_IHwInfoTestDetail_HMI(T.new_IHwInfoTest_Common_V3(T.new_IHwInfoBase(T.new_IHwInfoRoot())))\n'
            'gc.collect()\n'
            'assert T.IHwInfo_UsedBytes(hmi) == 82\n'
            'assert T.IHwInfoTestDetail_HMI_SetContrastOffset(hmi, 21) == 0\n'
            'buf = T.new_Eprom(512)\n'
            'T.IHwInfoTestDetail_HMI_Write(hmi, buf)\n'
            'print([T.Eprom_get(buf, i) for i in range(4, 8)])\n'
            'reader = TORVANE.IHwInfoDevDetail_HMI(TORVANE.IHwInfoDev_Common_V3(TORVANE.IHwInfoBase(TORVANE.IHwInfoRoot())))\n'
            'gc.collect()\n'
            'assert reader.Read(buf) is True\n'
            'assert reader.GetContrastOffset() == 21\n'
            'T.delete_Eprom(buf)\n')
        self.assertEqual(out.splitlines()[0], '[3, 0, 1, 4]')

    def test_handles_dropped_in_every_order(self):
        self.run_ok(
            'classes = ["IHwInfoRoot", "IHwInfoBase", "IHwInfoTest_Common", "IHwInfoTestDetail_Cpu"]\n'
            'buf = T.new_Eprom(512)\n'
            'for how in ("delete", "collect"):\n'
            '    for order in itertools.permutations(range(4)):\n'
            '        handles = [T.new_IHwInfoRoot()]\n'
            '        for cls in classes[1:]:\n'
            '            handles.append(getattr(T, "new_" + cls)(handles[-1]))\n'
            '        for index in order:\n'
            '            if how == "delete":\n'
            '                getattr(T, "delete_" + classes[index])(handles[index])\n'
            '            handles[index] = None\n'
            '            gc.collect()\n'
            '            if handles[3] is not None:\n'
            '                assert T.IHwInfoTestDetail_Cpu_SetFaNumber(handles[3], "F%d" % index) == 0\n'
            '                T.IHwInfoTestDetail_Cpu_Write(handles[3], buf)\n'
            '                assert T.IHwInfoDevDetail_Cpu_Read(handles[3], buf) is True\n'
            '                assert T.IHwInfo_UsedBytes(handles[3]) == 134\n'
            '            if handles[2] is not None:\n'
            '                T.IHwInfoTest_Common_Write(handles[2], buf)\n'
            '                assert T.IHwInfoDev_Common_Read(handles[2]) is True\n'
            '            if handles[1] is not None:\n'
            '                assert T.IHwInfoBase_Read(handles[1], buf) is True\n'
            'T.delete_Eprom(buf)\n')

    def test_chain_member_replacement_keeps_records_alive(self):
        self.run_ok(
            'root = T.new_IHwInfoRoot()\n'
            'base = T.new_IHwInfoBase(root)\n'
            'common = T.new_IHwInfoTest_Common_V3(base)\n'
            'other = T.new_IHwInfo()\n'
            'T.IHwInfo_m_HwInfo_set(other, T.IHwInfo_m_HwInfo_get(common))\n'
            'assert T.IHwInfo_UsedBytes(other) == 80\n'
            'T.IHwInfo_m_HwInfo_set(base, T.IHwInfo_m_HwInfo_get(common))\n'
            'T.delete_IHwInfoTest_Common_V3(common)\n'
            'T.delete_IHwInfoRoot(root)\n'
            'gc.collect()\n'
            'assert T.IHwInfo_UsedBytes(other) == 80\n'
            'assert T.IHwInfo_UsedBytes(base) == 80\n'
            'assert T.IHwInfoBase_Read(base) is False\n'
            'T.delete_IHwInfoBase(base)\n'
            'T.IHwInfo_m_HwInfo_set(other, None)\n'
            'assert T.IHwInfo_m_HwInfo_get(other) is None\n'
            'assert T.IHwInfo_UsedBytes(other) == 0\n'
            'T.delete_IHwInfo(other)\n')


def resident_kib():
    with open('/proc/self/status') as status:
        for line in status:
            if line.startswith('VmRSS:'):
                return int(line.split()[1])
    raise RuntimeError('no VmRSS')


def cycle():
    handles = new_chain('IHwInfoTest_Common_V3', 'IHwInfoTestDetail_Cpu_V4')
    buf = T.new_Eprom(512)
    T.IHwInfoTestDetail_Cpu_V4_SetDeliveryItem(handles[-1], 'ITEM+A1')
    T.IHwInfoTestDetail_Cpu_V4_Write(handles[-1], buf)
    T.IHwInfoDevDetail_Cpu_V4_Read(handles[-1], buf)
    T.IHwInfoDevDetail_Cpu_V4_GetDeliveryItemExtended(handles[-1])
    T.delete_Eprom(buf)
    for handle, cls in zip(handles, ['IHwInfoRoot', 'IHwInfoBase', 'IHwInfoTest_Common_V3',
                                     'IHwInfoTestDetail_Cpu_V4']):
        getattr(T, 'delete_' + cls)(handle)


class Memory(unittest.TestCase):

    def test_create_delete_cycles_keep_memory_flat(self):
        for _ in range(1000):
            cycle()
        before = resident_kib()
        for _ in range(10000):
            cycle()
        grown = resident_kib() - before
        # A chain holds over 1 KiB (image, records, handles): a leak would add megabytes.
        self.assertLess(grown, 2048, 'resident memory grew by %d KiB' % grown)


if __name__ == '__main__':
    unittest.main()
