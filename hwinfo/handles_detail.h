// Handles of the power supply, HMI and analogue detail records, reading side
// (Dev: Read and getters) and writing side (Test: Write and setters). Component
// selectors come first; a null selector or text reads as empty and is refused.
#pragma once

#include <string>

#include "hwinfo/detail_analog.h"
#include "hwinfo/detail_hmi.h"
#include "hwinfo/detail_power_supply.h"
#include "hwinfo/handles.h"

class IHwInfoDevDetail_Netzteil : public IHwInfo {
 public:
  explicit IHwInfoDevDetail_Netzteil(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  std::string GetFaNumber(char const* component) { return TextIn(s(component), &Slot::faNumber); }
  // The stored characters 3 to 20 behind the fixed prefix "0+".
  std::string GetModuleName(char const* component);
  unsigned char GetModuleSubIndex(char const* component) { return NumberIn(s(component), &Slot::moduleSubIndex); }
  std::string GetCheckDate(char const* component) { return TextIn(c(component), &Comp::checkDate); }
  std::string GetHwComponentName(char const* component) { return TextIn(c(component), &Comp::hwComponentName); }
  unsigned short GetHwComponentRevision(char const* component) {
    return NumberIn(c(component), &Comp::hwComponentRevision);
  }

 protected:
  using Slot = hwinfo::VariantSlotFields;
  using Comp = hwinfo::ComponentV2Fields;
  Slot* s(char const* component);
  Comp* c(char const* component);
};

class IHwInfoTestDetail_Netzteil : public IHwInfoDevDetail_Netzteil {
 public:
  explicit IHwInfoTestDetail_Netzteil(IHwInfo& previous) : IHwInfoDevDetail_Netzteil(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  int SetFaNumber(char const* component, char const* text) { return SetTextIn(s(component), &Slot::faNumber, text); }
  int SetModuleName(char const* component, char const* text) {
    return SetTextIn(s(component), &Slot::moduleName, text);
  }
  int SetModuleSubIndex(char const* component, unsigned short value) {
    return SetNumberIn(s(component), &Slot::moduleSubIndex, value);
  }
  int SetCheckDate(char const* component, char const* text) { return SetTextIn(c(component), &Comp::checkDate, text); }
  int SetHwComponentName(char const* component, char const* text) {
    return SetTextIn(c(component), &Comp::hwComponentName, text);
  }
  int SetHwComponentRevision(char const* component, unsigned short value) {
    return SetNumberIn(c(component), &Comp::hwComponentRevision, value);
  }
};

class IHwInfoDevDetail_Netzteil_V2 : public IHwInfo {
 public:
  explicit IHwInfoDevDetail_Netzteil_V2(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  std::string GetThWorkorder(char const* component) { return TextIn(g(component), &Group::thWorkorder); }
  std::string GetThItem(char const* component) { return TextIn(g(component), &Group::thItem); }
  std::string GetThRevision(char const* component) { return TextIn(g(component), &Group::thRevision); }
  std::string GetCheckDate(char const* component) { return TextIn(g(component), &Group::checkDate); }

 protected:
  using Group = hwinfo::ThAssemblyGroup;
  Group* g(char const* component) { return Own<HwInfoDetail_Netzteil_V2>().Component(component); }
};

class IHwInfoTestDetail_Netzteil_V2 : public IHwInfoDevDetail_Netzteil_V2 {
 public:
  explicit IHwInfoTestDetail_Netzteil_V2(IHwInfo& previous) : IHwInfoDevDetail_Netzteil_V2(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  int SetThWorkorder(char const* component, char const* text) {
    return SetTextIn(g(component), &Group::thWorkorder, text);
  }
  int SetThItem(char const* component, char const* text) { return SetTextIn(g(component), &Group::thItem, text); }
  int SetThRevision(char const* component, char const* text) {
    return SetTextIn(g(component), &Group::thRevision, text);
  }
  int SetCheckDate(char const* component, char const* text) { return SetTextIn(g(component), &Group::checkDate, text); }
};

class IHwInfoDevDetail_HMI : public IHwInfo {
 public:
  explicit IHwInfoDevDetail_HMI(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  int GetContrastOffset() { return Own<HmiDetailRecord>().GetContrastOffset(); }
};

class IHwInfoTestDetail_HMI : public IHwInfoDevDetail_HMI {
 public:
  explicit IHwInfoTestDetail_HMI(IHwInfo& previous) : IHwInfoDevDetail_HMI(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  int SetContrastOffset(short value) {
    Own<HmiDetailRecord>().SetContrastOffset(value);
    return hwinfo::kAccepted;
  }
};

class IHwInfoDevDetail_HMI_V2 : public IHwInfo {
 public:
  explicit IHwInfoDevDetail_HMI_V2(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  int GetContrastOffset() { return Own<HmiDetailRecord>().GetContrastOffset(); }
};

class IHwInfoTestDetail_HMI_V2 : public IHwInfoDevDetail_HMI_V2 {
 public:
  explicit IHwInfoTestDetail_HMI_V2(IHwInfo& previous) : IHwInfoDevDetail_HMI_V2(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  int SetContrastOffset(short value) {
    Own<HmiDetailRecord>().SetContrastOffset(value);
    return hwinfo::kAccepted;
  }
};

class IHwInfoDevDetail_FADC : public IHwInfo {
 public:
  explicit IHwInfoDevDetail_FADC(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  int GetCalibData(short i, short j, float& a, float& b, float& c) {
    return Own<HwInfoDetail_FADC>().GetCalibData(i, j, a, b, c);
  }
};

class IHwInfoTestDetail_FADC : public IHwInfoDevDetail_FADC {
 public:
  explicit IHwInfoTestDetail_FADC(IHwInfo& previous) : IHwInfoDevDetail_FADC(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  int SetCalibData(short i, short j, float a, float b, float c) {
    return Own<HwInfoDetail_FADC>().SetCalibData(i, j, a, b, c);
  }
};

class IHwInfoDevDetail_MKAIR : public IHwInfo {
 public:
  explicit IHwInfoDevDetail_MKAIR(IHwInfo& previous);
  bool Read(void const* source) { return ReadChain(source); }
  bool Read() { return ReadChain(nullptr); }
  int GetCalibData(short i, short j, float& a, float& b) { return Own<HwInfoDetail_MKAIR>().GetCalibData(i, j, a, b); }
};

class IHwInfoTestDetail_MKAIR : public IHwInfoDevDetail_MKAIR {
 public:
  explicit IHwInfoTestDetail_MKAIR(IHwInfo& previous) : IHwInfoDevDetail_MKAIR(previous) {}
  void Write(void* destination) { WriteChain(destination); }
  int SetCalibData(short i, short j, float a, float b) { return Own<HwInfoDetail_MKAIR>().SetCalibData(i, j, a, b); }
};
