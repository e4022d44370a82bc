// Common-record handles: construction on an existing chain and the variant-key
// accessors of version 2.
#include "hwinfo/handles_common.h"

IHwInfoDev_Common::IHwInfoDev_Common(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfo_Common>(ChainOf(previous))) {}

IHwInfoDev_Common_V2::IHwInfoDev_Common_V2(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfo_Common_V2>(ChainOf(previous))) {}

IHwInfoDev_Common_V3::IHwInfoDev_Common_V3(IHwInfo& previous)
    : IHwInfo(std::make_shared<HwInfo_Common_V3>(ChainOf(previous))) {}

std::string IHwInfoDev_Common_V2::GetFaNumber(char const* key) {
  const hwinfo::VariantSlotFields* s = f().Slot(key);
  return s ? s->faNumber.Get() : std::string();
}

std::string IHwInfoDev_Common_V2::GetModuleName(char const* key) {
  const hwinfo::VariantSlotFields* s = f().Slot(key);
  return s ? s->moduleName.Get(key) : std::string();
}

unsigned char IHwInfoDev_Common_V2::GetModuleSubIndex(char const* key) {
  const hwinfo::VariantSlotFields* s = f().Slot(key);
  return s ? s->moduleSubIndex : 0;
}

int IHwInfoTest_Common_V2::SetFaNumber(char const* key, char const* text) {
  hwinfo::VariantSlotFields* s = f().Slot(key);
  return s ? s->faNumber.Set(text) : hwinfo::kRefused;
}

int IHwInfoTest_Common_V2::SetModuleName(char const* key, char const* name) {
  hwinfo::VariantSlotFields* s = f().Slot(key);
  return s ? s->moduleName.Set(name) : hwinfo::kRefused;
}

int IHwInfoTest_Common_V2::SetModuleSubIndex(char const* key, unsigned short value) {
  hwinfo::VariantSlotFields* s = f().Slot(key);
  return s ? hwinfo::StoreNumber(s->moduleSubIndex, value) : hwinfo::kRefused;
}
