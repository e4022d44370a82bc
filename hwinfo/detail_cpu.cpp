// CPU detail records of versions 1 to 3: their tables and the module selector.
#include "hwinfo/detail_cpu.h"

#include <utility>

HwInfoDetail_Cpu::HwInfoDetail_Cpu(std::shared_ptr<HwInfo> previous)
    : DetailRecord(std::move(previous), hwinfo::kTypeCpu, 1) {
  fields.Describe(Table());
}

HwInfoDetail_Cpu_V2::HwInfoDetail_Cpu_V2(std::shared_ptr<HwInfo> previous)
    : HwInfoDetail_Cpu_V2(std::move(previous), 2) {}

HwInfoDetail_Cpu_V2::HwInfoDetail_Cpu_V2(std::shared_ptr<HwInfo> previous, int version)
    : DetailRecord(std::move(previous), hwinfo::kTypeCpu, version) {
  device.Describe(Table());
  for (hwinfo::VariantGroup& g : modules) g.Describe(Table());
}

std::size_t HwInfoDetail_Cpu_V2::GroupIndex(const char* module) {
  return hwinfo::SelectorIndex(module, hwinfo::kCpuV2Modules);
}

const hwinfo::ComponentV2Fields* HwInfoDetail_Cpu_V2::Component(const char* module) const {
  if (module == nullptr) return nullptr;
  const std::size_t g = GroupIndex(module);
  return g == 0 ? &device.component : &modules[g - 1].component;
}

hwinfo::ComponentV2Fields* HwInfoDetail_Cpu_V2::Component(const char* module) {
  return const_cast<hwinfo::ComponentV2Fields*>(std::as_const(*this).Component(module));
}

std::string HwInfoDetail_Cpu_V2::GetFaNumber(const char* module, const char* key) const {
  if (module == nullptr || key == nullptr) return {};
  const std::size_t g = GroupIndex(module), s = hwinfo::VariantSlot(key);
  return g == 0 ? device.faNumber[s].Get() : modules[g - 1].slot[s].faNumber.Get();
}

std::string HwInfoDetail_Cpu_V2::GetModuleName(const char* module, const char* key) const {
  if (module == nullptr || key == nullptr) return {};
  const std::size_t g = GroupIndex(module), s = hwinfo::VariantSlot(key);
  return g == 0 ? device.moduleName[s].Get() : modules[g - 1].slot[s].moduleName.Get(key);
}

std::uint8_t HwInfoDetail_Cpu_V2::GetModuleSubIndex(const char* module, const char* key) const {
  if (module == nullptr || key == nullptr) return 0;
  const std::size_t g = GroupIndex(module), s = hwinfo::VariantSlot(key);
  return g == 0 ? device.moduleSubIndex[s] : modules[g - 1].slot[s].moduleSubIndex;
}

std::string HwInfoDetail_Cpu_V2::GetCheckDate(const char* module) const {
  const hwinfo::ComponentV2Fields* c = Component(module);
  return c ? c->checkDate.Get() : std::string();
}

std::string HwInfoDetail_Cpu_V2::GetHwComponentName(const char* module) const {
  const hwinfo::ComponentV2Fields* c = Component(module);
  return c ? c->hwComponentName.Get() : std::string();
}

std::uint16_t HwInfoDetail_Cpu_V2::GetHwComponentRevision(const char* module) const {
  const hwinfo::ComponentV2Fields* c = Component(module);
  return c ? c->hwComponentRevision : 0;
}

int HwInfoDetail_Cpu_V2::SetFaNumber(const char* module, const char* key, const char* text) {
  if (module == nullptr || key == nullptr) return hwinfo::kRefused;
  const std::size_t g = GroupIndex(module), s = hwinfo::VariantSlot(key);
  return g == 0 ? device.faNumber[s].Set(text) : modules[g - 1].slot[s].faNumber.Set(text);
}

int HwInfoDetail_Cpu_V2::SetModuleName(const char* module, const char* key, const char* name) {
  if (module == nullptr || key == nullptr) return hwinfo::kRefused;
  const std::size_t g = GroupIndex(module), s = hwinfo::VariantSlot(key);
  return g == 0 ? device.moduleName[s].Set(name) : modules[g - 1].slot[s].moduleName.Set(name);
}

int HwInfoDetail_Cpu_V2::SetModuleSubIndex(const char* module, const char* key, unsigned long value) {
  if (module == nullptr || key == nullptr) return hwinfo::kRefused;
  const std::size_t g = GroupIndex(module), s = hwinfo::VariantSlot(key);
  return hwinfo::StoreNumber(g == 0 ? device.moduleSubIndex[s] : modules[g - 1].slot[s].moduleSubIndex, value);
}

int HwInfoDetail_Cpu_V2::SetCheckDate(const char* module, const char* text) {
  hwinfo::ComponentV2Fields* c = Component(module);
  return c ? c->checkDate.Set(text) : hwinfo::kRefused;
}

int HwInfoDetail_Cpu_V2::SetHwComponentName(const char* module, const char* text) {
  hwinfo::ComponentV2Fields* c = Component(module);
  return c ? c->hwComponentName.Set(text) : hwinfo::kRefused;
}

int HwInfoDetail_Cpu_V2::SetHwComponentRevision(const char* module, unsigned long value) {
  hwinfo::ComponentV2Fields* c = Component(module);
  return c ? hwinfo::StoreNumber(c->hwComponentRevision, value) : hwinfo::kRefused;
}

void HwInfoDetail_Cpu_V2::ClearFields() {
  device = hwinfo::CpuDeviceGroup{};
  for (hwinfo::VariantGroup& g : modules) g = hwinfo::VariantGroup{};
}

HwInfoDetail_Cpu_V3::HwInfoDetail_Cpu_V3(std::shared_ptr<HwInfo> previous)
    : HwInfoDetail_Cpu_V2(std::move(previous), 3) {
  Table().AddNumber(systemFrequency);
}

void HwInfoDetail_Cpu_V3::ClearFields() {
  HwInfoDetail_Cpu_V2::ClearFields();
  systemFrequency = 0;
}
