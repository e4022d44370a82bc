// Field groups that several record kinds share, each with its table entries in
// image order: the version-1 identity (common V1, Cpu V1), the variant slots and
// groups of the version-2 records (common V2, Cpu V2/V3, Netzteil V1), the Cpu V2
// device group, and the assembly groups (common V3, Cpu V4, Netzteil V2).
#pragma once

#include <cstdint>

#include "hwinfo/field_table.h"
#include "hwinfo/fields.h"

namespace hwinfo {

// Version-1 identity: common V1 after its detail ID, and the whole Cpu V1 (63 bytes).
struct IdentityV1Group {
  TextField<13, 12> faNumber;
  TextField<21, 20> moduleName;
  TextField<2, 1> moduleIndex;
  std::uint8_t moduleSubIndex = 0;
  std::uint32_t reserve = 0;
  TextField<12, 11> checkDate;  // stored as given
  TextField<8, 7> hwComponentName;
  std::uint16_t hwComponentRevision = 0;

  void Describe(FieldTable& table);
};

// One variant slot: FaNumber, ModuleName (characters 3 to 20), ModuleSubIndex (31 bytes).
struct VariantSlotFields {
  TextField<12> faNumber;
  TrimmedName moduleName;
  std::uint8_t moduleSubIndex = 0;

  void Describe(FieldTable& table);
};

// Check date, component name and revision closing every version-2 group (13 bytes).
struct ComponentV2Fields {
  CheckDate5 checkDate;
  TextField<6> hwComponentName;
  std::uint16_t hwComponentRevision = 0;

  void Describe(FieldTable& table);
};

// Two variant slots and the component fields: common V2 after its detail ID and
// each Cpu V2 module group (75 bytes).
struct VariantGroup {
  VariantSlotFields slot[kVariantSlots];
  ComponentV2Fields component;

  // The slot of a variant key; null for a null key.
  VariantSlotFields* Slot(const char* key) { return key ? &slot[VariantSlot(key)] : nullptr; }

  void Describe(FieldTable& table);
};

// The Cpu V2 device group: whole module names; only slot 0's FaNumber and name
// are encoded (45 bytes); slot 1 and the sub-indexes live in storage only.
struct CpuDeviceGroup {
  TextField<12> faNumber[kVariantSlots];
  TextField<kFullModuleNameLength> moduleName[kVariantSlots];
  std::uint8_t moduleSubIndex[kVariantSlots] = {};
  ComponentV2Fields component;

  void Describe(FieldTable& table);
};

// A Netzteil V1 component group: one variant slot and the component fields (44 bytes).
struct NetzteilV1Group {
  VariantSlotFields slot;
  ComponentV2Fields component;

  void Describe(FieldTable& table);
};

// Through-hole and surface-mount assembly data: common V3 after its detail ID and
// each Cpu V4 module group (72 bytes).
struct AssemblyGroup {
  TextField<11> thWorkorder;
  TextField<15> thItem;
  TextField<3> thRevision;
  TextField<12> smtSerialNumber;
  TextField<15> smtItem;
  TextField<3> smtRevision;
  CheckDate3 checkDate;
  TextField<8> hwComponentName;
  std::uint16_t hwComponentRevision = 0;

  void Describe(FieldTable& table);
};

// A Netzteil V2 component group: through-hole data and check date (32 bytes).
struct ThAssemblyGroup {
  TextField<11> thWorkorder;
  TextField<15> thItem;
  TextField<3> thRevision;
  CheckDate3 checkDate;

  void Describe(FieldTable& table);
};

}  // namespace hwinfo
