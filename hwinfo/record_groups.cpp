// Table entries of the shared field groups, in image order; the sizes are
// checked by the tests against the documented layouts.
#include "hwinfo/record_groups.h"

namespace hwinfo {

void IdentityV1Group::Describe(FieldTable& table) {
  faNumber.Describe(table);
  moduleName.Describe(table);
  moduleIndex.Describe(table);
  table.AddNumber(moduleSubIndex).AddNumber(reserve);
  checkDate.Describe(table);
  hwComponentName.Describe(table);
  table.AddNumber(hwComponentRevision);
}

void VariantSlotFields::Describe(FieldTable& table) {
  faNumber.Describe(table);
  moduleName.Describe(table);
  table.AddNumber(moduleSubIndex);
}

void ComponentV2Fields::Describe(FieldTable& table) {
  checkDate.Describe(table);
  hwComponentName.Describe(table);
  table.AddNumber(hwComponentRevision);
}

void VariantGroup::Describe(FieldTable& table) {
  for (VariantSlotFields& s : slot) s.Describe(table);
  component.Describe(table);
}

void CpuDeviceGroup::Describe(FieldTable& table) {
  faNumber[0].Describe(table);
  moduleName[0].Describe(table);
  component.Describe(table);
}

void NetzteilV1Group::Describe(FieldTable& table) {
  slot.Describe(table);
  component.Describe(table);
}

void AssemblyGroup::Describe(FieldTable& table) {
  thWorkorder.Describe(table);
  thItem.Describe(table);
  thRevision.Describe(table);
  smtSerialNumber.Describe(table);
  smtItem.Describe(table);
  smtRevision.Describe(table);
  checkDate.Describe(table);
  hwComponentName.Describe(table);
  table.AddNumber(hwComponentRevision);
}

void ThAssemblyGroup::Describe(FieldTable& table) {
  thWorkorder.Describe(table);
  thItem.Describe(table);
  thRevision.Describe(table);
  checkDate.Describe(table);
}

}  // namespace hwinfo
