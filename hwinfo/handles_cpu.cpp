// CPU detail handles: each creates its record on the given handle's chain.
#include "hwinfo/handles_cpu.h"

IHwInfoDevDetail_Cpu::IHwInfoDevDetail_Cpu(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfoDetail_Cpu>(ChainOf(previous))) {}

IHwInfoDevDetail_Cpu_V2::IHwInfoDevDetail_Cpu_V2(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfoDetail_Cpu_V2>(ChainOf(previous))) {}

IHwInfoDevDetail_Cpu_V3::IHwInfoDevDetail_Cpu_V3(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfoDetail_Cpu_V3>(ChainOf(previous))) {}

IHwInfoDevDetail_Cpu_V4::IHwInfoDevDetail_Cpu_V4(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfoDetail_Cpu_V4>(ChainOf(previous))) {}
