// The CPU board detail record of version 4 (408 bytes): device head with serial
// number, delivery data and MAC addresses, five assembly module groups, and the
// tail with the subversion byte (always written as 2), firmware order ID and
// second MAC address. It keeps the delivery item and firmware order ID rules.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "hwinfo/detail_record.h"
#include "hwinfo/record_groups.h"

class HwInfoDetail_Cpu_V4 : public DetailRecord {
 public:
  static constexpr std::size_t kModuleGroups = 5;
  explicit HwInfoDetail_Cpu_V4(std::shared_ptr<HwInfo> previous);

  // Module group of a selector ("UART-2" 0 ... "Profibus" 4; unknown text 0);
  // null for a null selector.
  hwinfo::AssemblyGroup* Module(const char* module);

  // "item" or "item+ID"; the parts are judged in order, so an acceptable item is
  // stored even when the ID is refused. Answers 0, or -1 when a part is refused.
  int SetDeliveryItem(const char* text);
  // The stored ID when it starts with A-Z or 0-9, else "".
  std::string GetDeliveryFwOrderId() const;
  // The stored subversion when below 3, else 0.
  std::uint8_t GetCpuDetailSubversionId() const;
  // item + "+" + ID when the ID is valid and the subversion is 1 or 2, else item.
  std::string GetDeliveryItemExtended() const;

  hwinfo::TextField<8> serialNumber;
  hwinfo::TextField<15> deliveryItem;
  hwinfo::TextField<3> deliveryRevision;
  hwinfo::MacAddress macId;
  std::uint32_t systemFrequency = 0;
  hwinfo::CheckDate3 checkDate;
  hwinfo::AssemblyGroup modules[kModuleGroups];
  std::uint8_t subversionId = 0;
  hwinfo::TextField<2> deliveryFwOrderId;
  hwinfo::MacAddress macId2;

 protected:
  void ClearFields() override;
  void BeforeEncode() override { subversionId = hwinfo::kCpuV4SubversionWritten; }
};
