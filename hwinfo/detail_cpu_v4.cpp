// Cpu version 4: table, clearing, module selector and the delivery item rules.
#include "hwinfo/detail_cpu_v4.h"

#include <cstring>

namespace {

bool IsOrderIdChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

HwInfoDetail_Cpu_V4::HwInfoDetail_Cpu_V4(std::shared_ptr<HwInfo> previous)
    : DetailRecord(std::move(previous), hwinfo::kTypeCpu, 4) {
  hwinfo::FieldTable& t = Table();
  serialNumber.Describe(t);
  deliveryItem.Describe(t);
  deliveryRevision.Describe(t);
  macId.Describe(t);
  t.AddNumber(systemFrequency);
  checkDate.Describe(t);
  for (hwinfo::AssemblyGroup& g : modules) g.Describe(t);
  t.AddNumber(subversionId);
  deliveryFwOrderId.Describe(t);
  macId2.Describe(t);
}

hwinfo::AssemblyGroup* HwInfoDetail_Cpu_V4::Module(const char* module) {
  return hwinfo::SelectGroup(modules, module, hwinfo::kCpuV4Modules);
}

void HwInfoDetail_Cpu_V4::ClearFields() {
  serialNumber = {};
  deliveryItem = {};
  deliveryRevision = {};
  macId = {};
  systemFrequency = 0;
  checkDate = {};
  for (hwinfo::AssemblyGroup& g : modules) g = {};
  subversionId = 0;
  deliveryFwOrderId = {};
  macId2 = {};
}

int HwInfoDetail_Cpu_V4::SetDeliveryItem(const char* text) {
  if (text == nullptr) return hwinfo::kRefused;
  int result = hwinfo::kAccepted;
  const char* separator = std::strchr(text, hwinfo::kDeliveryItemSeparator);
  const std::size_t itemLength = separator ? static_cast<std::size_t>(separator - text) : std::strlen(text);

  // Firmware order ID part.
  if (separator == nullptr) {
    deliveryFwOrderId = {};
  } else {
    const std::string id(separator + 1);
    bool valid = !id.empty();
    for (char c : id) valid = valid && IsOrderIdChar(c);
    if (!valid) {
      deliveryFwOrderId = {};
      result = hwinfo::kRefused;
    } else if (deliveryFwOrderId.Set(id.c_str()) != hwinfo::kAccepted) {
      result = hwinfo::kRefused;  // too long: the stored ID stays
    }
  }

  // Item part.
  if (deliveryItem.Set(std::string(text, itemLength).c_str()) != hwinfo::kAccepted) result = hwinfo::kRefused;
  return result;
}

std::string HwInfoDetail_Cpu_V4::GetDeliveryFwOrderId() const {
  return IsOrderIdChar(deliveryFwOrderId.bytes[0]) ? deliveryFwOrderId.Get() : std::string();
}

std::uint8_t HwInfoDetail_Cpu_V4::GetCpuDetailSubversionId() const {
  return subversionId < hwinfo::kCpuV4SubversionLimit ? subversionId : 0;
}

std::string HwInfoDetail_Cpu_V4::GetDeliveryItemExtended() const {
  const std::string id = GetDeliveryFwOrderId();
  const std::uint8_t subversion = GetCpuDetailSubversionId();
  if (!id.empty() && (subversion == 1 || subversion == 2))
    return deliveryItem.Get() + hwinfo::kDeliveryItemSeparator + id;
  return deliveryItem.Get();
}
