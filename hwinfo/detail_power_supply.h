// The power supply (Netzteil) detail records: two component groups chosen by
// component selector, version 1 with order data and module name, version 2 with
// through-hole assembly data. Both clear their storage before decoding.
#pragma once

#include <memory>

#include "hwinfo/detail_record.h"
#include "hwinfo/record_groups.h"

// Version 1 (88 bytes): "Kondensator" 0, "Kuehlkoerper" 1.
class HwInfoDetail_Netzteil : public DetailRecord {
 public:
  static constexpr std::size_t kGroups = 2;
  explicit HwInfoDetail_Netzteil(std::shared_ptr<HwInfo> previous);
  // Group of a component selector; null for a null selector.
  hwinfo::NetzteilV1Group* Component(const char* component);
  hwinfo::NetzteilV1Group groups[kGroups];

 protected:
  void ClearFields() override;
};

// Version 2 (64 bytes): "Capacitor" 0, "HeatSink" 1.
class HwInfoDetail_Netzteil_V2 : public DetailRecord {
 public:
  static constexpr std::size_t kGroups = 2;
  explicit HwInfoDetail_Netzteil_V2(std::shared_ptr<HwInfo> previous);
  hwinfo::ThAssemblyGroup* Component(const char* component);
  hwinfo::ThAssemblyGroup groups[kGroups];

 protected:
  void ClearFields() override;
};
