// Power supply detail records: tables, clearing and component selectors.
#include "hwinfo/detail_power_supply.h"

HwInfoDetail_Netzteil::HwInfoDetail_Netzteil(std::shared_ptr<HwInfo> previous)
    : DetailRecord(std::move(previous), hwinfo::kTypeNetzteil, 1) {
  for (hwinfo::NetzteilV1Group& g : groups) g.Describe(Table());
}

hwinfo::NetzteilV1Group* HwInfoDetail_Netzteil::Component(const char* component) {
  return hwinfo::SelectGroup(groups, component, hwinfo::kNetzteilV1Components);
}

void HwInfoDetail_Netzteil::ClearFields() {
  for (hwinfo::NetzteilV1Group& g : groups) g = {};
}

HwInfoDetail_Netzteil_V2::HwInfoDetail_Netzteil_V2(std::shared_ptr<HwInfo> previous)
    : DetailRecord(std::move(previous), hwinfo::kTypeNetzteil, 2) {
  for (hwinfo::ThAssemblyGroup& g : groups) g.Describe(Table());
}

hwinfo::ThAssemblyGroup* HwInfoDetail_Netzteil_V2::Component(const char* component) {
  return hwinfo::SelectGroup(groups, component, hwinfo::kNetzteilV2Components);
}

void HwInfoDetail_Netzteil_V2::ClearFields() {
  for (hwinfo::ThAssemblyGroup& g : groups) g = {};
}
