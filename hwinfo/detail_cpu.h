// The CPU board detail records of versions 1 to 3: version 1 repeats the
// version-1 identity; versions 2 and 3 hold the device group and five module
// groups chosen by module selector, version 3 adding the system frequency.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "hwinfo/detail_record.h"
#include "hwinfo/record_groups.h"

// Cpu version 1 (63 bytes); decoding keeps storage it does not overwrite.
class HwInfoDetail_Cpu : public DetailRecord {
 public:
  explicit HwInfoDetail_Cpu(std::shared_ptr<HwInfo> previous);
  hwinfo::IdentityV1Group fields;
};

// Cpu version 2 (420 bytes).
class HwInfoDetail_Cpu_V2 : public DetailRecord {
 public:
  static constexpr std::size_t kModuleGroups = 5;
  explicit HwInfoDetail_Cpu_V2(std::shared_ptr<HwInfo> previous);

  // Field access by module selector ("Device" or any unknown text: the device
  // group; "UART-2" ... "Profibus": module groups 1 to 5) and variant key. A null
  // selector or key reads as empty (0) and is refused by the setters.
  std::string GetFaNumber(const char* module, const char* key) const;
  std::string GetModuleName(const char* module, const char* key) const;
  std::uint8_t GetModuleSubIndex(const char* module, const char* key) const;
  std::string GetCheckDate(const char* module) const;
  std::string GetHwComponentName(const char* module) const;
  std::uint16_t GetHwComponentRevision(const char* module) const;
  int SetFaNumber(const char* module, const char* key, const char* text);
  int SetModuleName(const char* module, const char* key, const char* name);
  int SetModuleSubIndex(const char* module, const char* key, unsigned long value);
  int SetCheckDate(const char* module, const char* text);
  int SetHwComponentName(const char* module, const char* text);
  int SetHwComponentRevision(const char* module, unsigned long value);

  hwinfo::CpuDeviceGroup device;
  hwinfo::VariantGroup modules[kModuleGroups];

 protected:
  HwInfoDetail_Cpu_V2(std::shared_ptr<HwInfo> previous, int version);
  void ClearFields() override;

 private:
  static std::size_t GroupIndex(const char* module);
  const hwinfo::ComponentV2Fields* Component(const char* module) const;
  hwinfo::ComponentV2Fields* Component(const char* module);
};

// Cpu version 3 (424 bytes): version 2 followed by the system frequency.
class HwInfoDetail_Cpu_V3 : public HwInfoDetail_Cpu_V2 {
 public:
  explicit HwInfoDetail_Cpu_V3(std::shared_ptr<HwInfo> previous);
  std::uint32_t systemFrequency = 0;

 protected:
  void ClearFields() override;
};
