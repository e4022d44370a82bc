// Handles of the common records: the reading side (IHwInfoDev_Common...: Read and
// the getters) and the writing side (IHwInfoTest_Common...: Write and the
// setters). Setters answer 0 or -1 and change record storage only; a null key
// reads as the empty text and is refused.
#pragma once

#include <string>

#include "hwinfo/common_records.h"
#include "hwinfo/handles.h"

// The version-1 identity accessors of the common V1 and Cpu V1 handles, over
// their `f()` group. Each handle class declares the methods itself, because
// scripts reach them by class name.
#define HWINFO_IDENTITY_V1_GETTERS \
  std::string GetFaNumber() { return f().faNumber.Get(); } \
  std::string GetModuleName() { return f().moduleName.Get(); } \
  std::string GetModuleIndex() { return f().moduleIndex.Get(); } \
  unsigned char GetModuleSubIndex() { return f().moduleSubIndex; } \
  unsigned long GetReserve() { return f().reserve; } \
  std::string GetCheckDate() { return f().checkDate.Get(); } \
  std::string GetHwComponentName() { return f().hwComponentName.Get(); } \
  unsigned short GetHwComponentRevision() { return f().hwComponentRevision; }

#define HWINFO_IDENTITY_V1_SETTERS \
  int SetFaNumber(char const* text) { return f().faNumber.Set(text); } \
  int SetModuleName(char const* text) { return f().moduleName.Set(text); } \
  int SetModuleIndex(char const* text) { return f().moduleIndex.Set(text); } \
  int SetModuleSubIndex(unsigned short value) { return hwinfo::StoreNumber(f().moduleSubIndex, value); } \
  int SetReserve(unsigned long value) { return hwinfo::StoreNumber(f().reserve, value); } \
  int SetCheckDate(char const* text) { return f().checkDate.Set(text); } \
  int SetHwComponentName(char const* text) { return f().hwComponentName.Set(text); } \
  int SetHwComponentRevision(unsigned short value) { return hwinfo::StoreNumber(f().hwComponentRevision, value); }

class IHwInfoDev_Common : public IHwInfo {
 public:
  explicit IHwInfoDev_Common(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  unsigned short GetDetailID() { return Own<HwInfo_Common>().GetDetailID(); }
  HWINFO_IDENTITY_V1_GETTERS

 protected:
  hwinfo::IdentityV1Group& f() { return Own<HwInfo_Common>().fields; }
};

class IHwInfoTest_Common : public IHwInfoDev_Common {
 public:
  explicit IHwInfoTest_Common(IHwInfo& previous) : IHwInfoDev_Common(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  HWINFO_IDENTITY_V1_SETTERS
};

class IHwInfoDev_Common_V2 : public IHwInfo {
 public:
  explicit IHwInfoDev_Common_V2(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  unsigned short GetDetailID() { return Own<HwInfo_Common_V2>().GetDetailID(); }
  std::string GetFaNumber(char const* key);
  std::string GetModuleName(char const* key);
  unsigned char GetModuleSubIndex(char const* key);
  std::string GetCheckDate() { return f().component.checkDate.Get(); }
  std::string GetHwComponentName() { return f().component.hwComponentName.Get(); }
  unsigned short GetHwComponentRevision() { return f().component.hwComponentRevision; }

 protected:
  hwinfo::VariantGroup& f() { return Own<HwInfo_Common_V2>().fields; }
};

class IHwInfoTest_Common_V2 : public IHwInfoDev_Common_V2 {
 public:
  explicit IHwInfoTest_Common_V2(IHwInfo& previous) : IHwInfoDev_Common_V2(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  int SetFaNumber(char const* key, char const* text);
  int SetModuleName(char const* key, char const* name);
  int SetModuleSubIndex(char const* key, unsigned short value);
  int SetCheckDate(char const* text) { return f().component.checkDate.Set(text); }
  int SetHwComponentName(char const* text) { return f().component.hwComponentName.Set(text); }
  int SetHwComponentRevision(unsigned short value) {
    return hwinfo::StoreNumber(f().component.hwComponentRevision, value);
  }
};

class IHwInfoDev_Common_V3 : public IHwInfo {
 public:
  explicit IHwInfoDev_Common_V3(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  unsigned short GetDetailID() { return Own<HwInfo_Common_V3>().GetDetailID(); }
  std::string GetThWorkorder() { return f().thWorkorder.Get(); }
  std::string GetThItem() { return f().thItem.Get(); }
  std::string GetThRevision() { return f().thRevision.Get(); }
  std::string GetSmtSerialNumber() { return f().smtSerialNumber.Get(); }
  std::string GetSmtItem() { return f().smtItem.Get(); }
  std::string GetSmtRevision() { return f().smtRevision.Get(); }
  std::string GetCheckDate() { return f().checkDate.Get(); }
  std::string GetHwComponentName() { return f().hwComponentName.Get(); }
  unsigned short GetHwComponentRevision() { return f().hwComponentRevision; }

 protected:
  hwinfo::AssemblyGroup& f() { return Own<HwInfo_Common_V3>().fields; }
};

class IHwInfoTest_Common_V3 : public IHwInfoDev_Common_V3 {
 public:
  explicit IHwInfoTest_Common_V3(IHwInfo& previous) : IHwInfoDev_Common_V3(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  int SetThWorkorder(char const* text) { return f().thWorkorder.Set(text); }
  int SetThItem(char const* text) { return f().thItem.Set(text); }
  int SetThRevision(char const* text) { return f().thRevision.Set(text); }
  int SetSmtSerialNumber(char const* text) { return f().smtSerialNumber.Set(text); }
  int SetSmtItem(char const* text) { return f().smtItem.Set(text); }
  int SetSmtRevision(char const* text) { return f().smtRevision.Set(text); }
  int SetCheckDate(char const* text) { return f().checkDate.Set(text); }
  int SetHwComponentName(char const* text) { return f().hwComponentName.Set(text); }
  int SetHwComponentRevision(unsigned short value) { return hwinfo::StoreNumber(f().hwComponentRevision, value); }
};
