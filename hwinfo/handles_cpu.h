// Handles of the CPU detail records, versions 1 to 4, reading side (Dev: Read and
// getters) and writing side (Test: Write and setters). Selectors and keys come
// first, the value last; a null selector, key or text reads as the empty text
// (0 for numbers) and is refused by setters.
#pragma once

#include <string>

#include "hwinfo/detail_cpu.h"
#include "hwinfo/detail_cpu_v4.h"
#include "hwinfo/handles.h"
#include "hwinfo/handles_common.h"

// The six MAC bytes of a Cpu version 4 record.
typedef unsigned char (*t_mac)[6];

class IHwInfoDevDetail_Cpu : public IHwInfo {
 public:
  explicit IHwInfoDevDetail_Cpu(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  HWINFO_IDENTITY_V1_GETTERS

 protected:
  hwinfo::IdentityV1Group& f() { return Own<HwInfoDetail_Cpu>().fields; }
};

class IHwInfoTestDetail_Cpu : public IHwInfoDevDetail_Cpu {
 public:
  explicit IHwInfoTestDetail_Cpu(IHwInfo& previous) : IHwInfoDevDetail_Cpu(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  HWINFO_IDENTITY_V1_SETTERS
};

// The module-group accessors of the Cpu V2 and V3 handles, over their `r()`
// record (V3 extends V2); declared by each class for the same reason.
#define HWINFO_CPU_MODULE_GETTERS \
  std::string GetFaNumber(char const* module, char const* key) { return r().GetFaNumber(module, key); } \
  std::string GetModuleName(char const* module, char const* key) { return r().GetModuleName(module, key); } \
  unsigned char GetModuleSubIndex(char const* module, char const* key) { return r().GetModuleSubIndex(module, key); } \
  std::string GetCheckDate(char const* module) { return r().GetCheckDate(module); } \
  std::string GetHwComponentName(char const* module) { return r().GetHwComponentName(module); } \
  unsigned short GetHwComponentRevision(char const* module) { return r().GetHwComponentRevision(module); }

#define HWINFO_CPU_MODULE_SETTERS \
  int SetFaNumber(char const* module, char const* key, char const* text) { return r().SetFaNumber(module, key, text); } \
  int SetModuleName(char const* module, char const* key, char const* text) { \
    return r().SetModuleName(module, key, text); \
  } \
  int SetModuleSubIndex(char const* module, char const* key, unsigned short value) { \
    return r().SetModuleSubIndex(module, key, value); \
  } \
  int SetCheckDate(char const* module, char const* text) { return r().SetCheckDate(module, text); } \
  int SetHwComponentName(char const* module, char const* text) { return r().SetHwComponentName(module, text); } \
  int SetHwComponentRevision(char const* module, unsigned short value) { \
    return r().SetHwComponentRevision(module, value); \
  }

class IHwInfoDevDetail_Cpu_V2 : public IHwInfo {
 public:
  explicit IHwInfoDevDetail_Cpu_V2(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  HWINFO_CPU_MODULE_GETTERS

 protected:
  HwInfoDetail_Cpu_V2& r() { return Own<HwInfoDetail_Cpu_V2>(); }
};

class IHwInfoTestDetail_Cpu_V2 : public IHwInfoDevDetail_Cpu_V2 {
 public:
  explicit IHwInfoTestDetail_Cpu_V2(IHwInfo& previous) : IHwInfoDevDetail_Cpu_V2(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  HWINFO_CPU_MODULE_SETTERS
};

class IHwInfoDevDetail_Cpu_V3 : public IHwInfo {
 public:
  explicit IHwInfoDevDetail_Cpu_V3(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  HWINFO_CPU_MODULE_GETTERS
  unsigned long GetSystemFrequency() { return r().systemFrequency; }

 protected:
  HwInfoDetail_Cpu_V3& r() { return Own<HwInfoDetail_Cpu_V3>(); }
};

class IHwInfoTestDetail_Cpu_V3 : public IHwInfoDevDetail_Cpu_V3 {
 public:
  explicit IHwInfoTestDetail_Cpu_V3(IHwInfo& previous) : IHwInfoDevDetail_Cpu_V3(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  HWINFO_CPU_MODULE_SETTERS
  int SetSystemFrequency(unsigned long value) { return hwinfo::StoreNumber(r().systemFrequency, value); }
};

class IHwInfoDevDetail_Cpu_V4 : public IHwInfo {
 public:
  explicit IHwInfoDevDetail_Cpu_V4(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  std::string GetSerialNumber() { return r().serialNumber.Get(); }
  std::string GetDeliveryItem() { return r().deliveryItem.Get(); }
  std::string GetDeliveryRevision() { return r().deliveryRevision.Get(); }
  std::string GetMacId() { return r().macId.Get(); }
  std::string GetMacId2() { return r().macId2.Get(); }
  t_mac GetMacIdValue() { return &r().macId.bytes; }
  t_mac GetMacId2Value() { return &r().macId2.bytes; }
  unsigned long GetSystemFrequency() { return r().systemFrequency; }
  std::string GetCheckDate() { return r().checkDate.Get(); }
  std::string GetDeliveryItemExtended() { return r().GetDeliveryItemExtended(); }
  std::string GetDeliveryFwOrderId() { return r().GetDeliveryFwOrderId(); }
  unsigned char GetCpuDetailSubversionId() { return r().GetCpuDetailSubversionId(); }
  std::string GetThWorkorder(char const* module) { return TextIn(m(module), &Group::thWorkorder); }
  std::string GetThItem(char const* module) { return TextIn(m(module), &Group::thItem); }
  std::string GetThRevision(char const* module) { return TextIn(m(module), &Group::thRevision); }
  std::string GetSmtSerialNumber(char const* module) { return TextIn(m(module), &Group::smtSerialNumber); }
  std::string GetSmtItem(char const* module) { return TextIn(m(module), &Group::smtItem); }
  std::string GetSmtRevision(char const* module) { return TextIn(m(module), &Group::smtRevision); }
  std::string GetCheckDate(char const* module) { return TextIn(m(module), &Group::checkDate); }
  std::string GetHwComponentName(char const* module) { return TextIn(m(module), &Group::hwComponentName); }
  unsigned short GetHwComponentRevision(char const* module) {
    return NumberIn(m(module), &Group::hwComponentRevision);
  }

 protected:
  using Group = hwinfo::AssemblyGroup;
  HwInfoDetail_Cpu_V4& r() { return Own<HwInfoDetail_Cpu_V4>(); }
  Group* m(char const* module) { return r().Module(module); }
};

class IHwInfoTestDetail_Cpu_V4 : public IHwInfoDevDetail_Cpu_V4 {
 public:
  explicit IHwInfoTestDetail_Cpu_V4(IHwInfo& previous) : IHwInfoDevDetail_Cpu_V4(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  int SetSerialNumber(char const* text) { return r().serialNumber.Set(text); }
  int SetDeliveryItem(char const* text) { return r().SetDeliveryItem(text); }
  int SetDeliveryRevision(char const* text) { return r().deliveryRevision.Set(text); }
  int SetMacId(char const* text) { return r().macId.Set(text); }
  int SetMacId2(char const* text) { return r().macId2.Set(text); }
  int SetSystemFrequency(unsigned long value) { return hwinfo::StoreNumber(r().systemFrequency, value); }
  int SetCheckDate(char const* text) { return r().checkDate.Set(text); }
  int SetThWorkorder(char const* module, char const* text) { return SetTextIn(m(module), &Group::thWorkorder, text); }
  int SetThItem(char const* module, char const* text) { return SetTextIn(m(module), &Group::thItem, text); }
  int SetThRevision(char const* module, char const* text) { return SetTextIn(m(module), &Group::thRevision, text); }
  int SetSmtSerialNumber(char const* module, char const* text) {
    return SetTextIn(m(module), &Group::smtSerialNumber, text);
  }
  int SetSmtItem(char const* module, char const* text) { return SetTextIn(m(module), &Group::smtItem, text); }
  int SetSmtRevision(char const* module, char const* text) { return SetTextIn(m(module), &Group::smtRevision, text); }
  int SetCheckDate(char const* module, char const* text) { return SetTextIn(m(module), &Group::checkDate, text); }
  int SetHwComponentName(char const* module, char const* text) {
    return SetTextIn(m(module), &Group::hwComponentName, text);
  }
  int SetHwComponentRevision(char const* module, unsigned short value) {
    return SetNumberIn(m(module), &Group::hwComponentRevision, value);
  }
};
