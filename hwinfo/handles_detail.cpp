// Power supply, HMI and analogue handles: construction on the given chain and
// the power supply's group lookups.
#include "hwinfo/handles_detail.h"

IHwInfoDevDetail_Netzteil::IHwInfoDevDetail_Netzteil(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfoDetail_Netzteil>(ChainOf(previous))) {}

hwinfo::VariantSlotFields* IHwInfoDevDetail_Netzteil::s(char const* component) {
  hwinfo::NetzteilV1Group* g = Own<HwInfoDetail_Netzteil>().Component(component);
  return g ? &g->slot : nullptr;
}

hwinfo::ComponentV2Fields* IHwInfoDevDetail_Netzteil::c(char const* component) {
  hwinfo::NetzteilV1Group* g = Own<HwInfoDetail_Netzteil>().Component(component);
  return g ? &g->component : nullptr;
}

std::string IHwInfoDevDetail_Netzteil::GetModuleName(char const* component) {
  const Slot* slot = s(component);
  return slot ? slot->moduleName.Get(hwinfo::kNetzteilNamePrefix) : std::string();
}

IHwInfoDevDetail_Netzteil_V2::IHwInfoDevDetail_Netzteil_V2(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfoDetail_Netzteil_V2>(ChainOf(previous))) {}

IHwInfoDevDetail_HMI::IHwInfoDevDetail_HMI(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfoDetail_HMI>(ChainOf(previous))) {}

IHwInfoDevDetail_HMI_V2::IHwInfoDevDetail_HMI_V2(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfoDetail_HMI_V2>(ChainOf(previous))) {}

IHwInfoDevDetail_FADC::IHwInfoDevDetail_FADC(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfoDetail_FADC>(ChainOf(previous))) {}

IHwInfoDevDetail_MKAIR::IHwInfoDevDetail_MKAIR(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfoDetail_MKAIR>(ChainOf(previous))) {}
