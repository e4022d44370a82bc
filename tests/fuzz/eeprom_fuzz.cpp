// libFuzzer target for the hardware-info records: the first 512 bytes are the
// EEPROM image (short inputs are padded with zeros), the rest holds texts
// (split at zero bytes) used as module, component and key names and as
// setter values. Every chain of common version and detail kind reads the
// image, calls the getters, sets a few fields and writes the image back; the
// image written must read back and write again to the same bytes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hwinfo/hw_info_constants.h"
#include "hwinfo/handles.h"
#include "hwinfo/handles_common.h"
#include "hwinfo/handles_cpu.h"
#include "hwinfo/handles_detail.h"

namespace {

using Image = std::array<uint8_t, hwinfo::kImageSize>;

struct Input {
  Image image{};
  std::vector<std::string> texts;  // names from the input, then the known names
  const char* Text(size_t i) const { return texts[i % texts.size()].c_str(); }
};

Input Decode(const uint8_t* data, size_t size) {
  Input in;
  std::memcpy(in.image.data(), data, std::min(size, in.image.size()));
  std::string current;
  for (size_t i = in.image.size(); i < size; ++i) {
    if (data[i] == 0) {
      in.texts.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  in.texts.push_back(current);
  for (const char* n : hwinfo::kCpuV2Modules) in.texts.push_back(n);
  for (const char* n : hwinfo::kNetzteilV1Components) in.texts.push_back(n);
  for (const char* n : hwinfo::kNetzteilV2Components) in.texts.push_back(n);
  in.texts.push_back(hwinfo::kVariantSlot1Key);
  in.texts.push_back(hwinfo::kNetzteilNamePrefix);
  return in;
}

size_t g_sink = 0;
void Use(const std::string& s) { g_sink += s.size(); }
void Use(unsigned long v) { g_sink += v; }

// --- Getters and setters of each record kind ---
void Exercise(IHwInfoTest_Common& r, const Input& in) {
  Use(r.GetDetailID()); Use(r.GetFaNumber()); Use(r.GetModuleName()); Use(r.GetModuleIndex());
  Use(r.GetModuleSubIndex()); Use(r.GetReserve()); Use(r.GetCheckDate()); Use(r.GetHwComponentName());
  Use(r.GetHwComponentRevision());
  r.SetCheckDate(in.Text(0)); r.SetModuleName(in.Text(1)); r.SetFaNumber(in.Text(2));
}
void Exercise(IHwInfoTest_Common_V2& r, const Input& in) {
  for (size_t i = 0; i < in.texts.size(); ++i) {
    Use(r.GetFaNumber(in.Text(i))); Use(r.GetModuleName(in.Text(i))); Use(r.GetModuleSubIndex(in.Text(i)));
  }
  Use(r.GetDetailID()); Use(r.GetCheckDate()); Use(r.GetHwComponentName()); Use(r.GetHwComponentRevision());
  r.SetModuleName(in.Text(0), in.Text(1)); r.SetFaNumber(in.Text(1), in.Text(2)); r.SetCheckDate(in.Text(2));
}
void Exercise(IHwInfoTest_Common_V3& r, const Input& in) {
  Use(r.GetDetailID()); Use(r.GetThWorkorder()); Use(r.GetThItem()); Use(r.GetThRevision());
  Use(r.GetSmtSerialNumber()); Use(r.GetSmtItem()); Use(r.GetSmtRevision()); Use(r.GetCheckDate());
  Use(r.GetHwComponentName()); Use(r.GetHwComponentRevision());
  r.SetCheckDate(in.Text(0)); r.SetThItem(in.Text(1)); r.SetSmtSerialNumber(in.Text(2));
}
void Exercise(IHwInfoTestDetail_Cpu& r, const Input& in) {
  Use(r.GetFaNumber()); Use(r.GetModuleName()); Use(r.GetModuleIndex()); Use(r.GetCheckDate());
  Use(r.GetHwComponentName()); Use(r.GetHwComponentRevision()); Use(r.GetReserve());
  r.SetCheckDate(in.Text(3)); r.SetModuleIndex(in.Text(4));
}
template <class Cpu>
void ExerciseCpuModules(Cpu& r, const Input& in) {
  for (size_t i = 0; i < in.texts.size(); ++i) {
    const char* m = in.Text(i);
    const char* k = in.Text(i + 1);
    Use(r.GetFaNumber(m, k)); Use(r.GetModuleName(m, k)); Use(r.GetModuleSubIndex(m, k));
    Use(r.GetCheckDate(m)); Use(r.GetHwComponentName(m)); Use(r.GetHwComponentRevision(m));
  }
  r.SetModuleName(in.Text(0), in.Text(1), in.Text(2)); r.SetCheckDate(in.Text(1), in.Text(3));
  r.SetFaNumber(in.Text(2), in.Text(0), in.Text(4)); r.SetModuleSubIndex(in.Text(3), in.Text(1), 7);
}
void Exercise(IHwInfoTestDetail_Cpu_V2& r, const Input& in) { ExerciseCpuModules(r, in); }
void Exercise(IHwInfoTestDetail_Cpu_V3& r, const Input& in) {
  ExerciseCpuModules(r, in);
  Use(r.GetSystemFrequency());
}
void Exercise(IHwInfoTestDetail_Cpu_V4& r, const Input& in) {
  Use(r.GetSerialNumber()); Use(r.GetDeliveryItem()); Use(r.GetDeliveryRevision()); Use(r.GetMacId());
  Use(r.GetMacId2()); Use((*r.GetMacIdValue())[5]); Use((*r.GetMacId2Value())[0]); Use(r.GetSystemFrequency());
  Use(r.GetCheckDate()); Use(r.GetDeliveryItemExtended()); Use(r.GetDeliveryFwOrderId());
  Use(r.GetCpuDetailSubversionId());
  for (size_t i = 0; i < in.texts.size(); ++i) {
    const char* m = in.Text(i);
    Use(r.GetThWorkorder(m)); Use(r.GetThItem(m)); Use(r.GetThRevision(m)); Use(r.GetSmtSerialNumber(m));
    Use(r.GetSmtItem(m)); Use(r.GetSmtRevision(m)); Use(r.GetCheckDate(m)); Use(r.GetHwComponentName(m));
    Use(r.GetHwComponentRevision(m));
  }
  r.SetMacId(in.Text(0)); r.SetMacId2(in.Text(1)); r.SetDeliveryItem(in.Text(2)); r.SetCheckDate(in.Text(3));
  r.SetThItem(in.Text(4), in.Text(0)); r.SetCheckDate(in.Text(1), in.Text(2));
}
void Exercise(IHwInfoTestDetail_Netzteil& r, const Input& in) {
  for (size_t i = 0; i < in.texts.size(); ++i) {
    const char* c = in.Text(i);
    Use(r.GetFaNumber(c)); Use(r.GetModuleName(c)); Use(r.GetModuleSubIndex(c)); Use(r.GetCheckDate(c));
    Use(r.GetHwComponentName(c)); Use(r.GetHwComponentRevision(c));
  }
  r.SetModuleName(in.Text(0), in.Text(1)); r.SetCheckDate(in.Text(1), in.Text(2));
}
void Exercise(IHwInfoTestDetail_Netzteil_V2& r, const Input& in) {
  for (size_t i = 0; i < in.texts.size(); ++i) {
    const char* c = in.Text(i);
    Use(r.GetThWorkorder(c)); Use(r.GetThItem(c)); Use(r.GetThRevision(c)); Use(r.GetCheckDate(c));
  }
  r.SetThItem(in.Text(0), in.Text(1)); r.SetCheckDate(in.Text(1), in.Text(2));
}
void Exercise(IHwInfoTestDetail_HMI& r, const Input&) {
  Use(static_cast<unsigned long>(r.GetContrastOffset() & 0xFFFF));
  r.SetContrastOffset(-3);
}
void Exercise(IHwInfoTestDetail_HMI_V2& r, const Input&) {
  Use(static_cast<unsigned long>(r.GetContrastOffset() & 0xFFFF));
  r.SetContrastOffset(12);
}
// Calibration indexes from the image's last bytes, inside and outside the tables.
void Exercise(IHwInfoTestDetail_FADC& r, const Input& in) {
  float a = 0, b = 0, c = 0;
  for (int i = -1; i < 20; i += 3) r.GetCalibData(static_cast<short>(i), static_cast<short>(in.image[511] % 20 - 2), a, b, c);
  r.SetCalibData(static_cast<short>(in.image[510] % 20 - 2), 1, 1.5f, -2.0f, 0.25f);
}
void Exercise(IHwInfoTestDetail_MKAIR& r, const Input& in) {
  float a = 0, b = 0;
  for (int i = -1; i < 20; i += 3) r.GetCalibData(static_cast<short>(i), static_cast<short>(in.image[511] % 20 - 2), a, b);
  r.SetCalibData(static_cast<short>(in.image[510] % 20 - 2), 0, 3.0f, 4.0f);
}

uint32_t StoredCrc(const Image& image) {
  uint32_t crc;
  std::memcpy(&crc, image.data(), sizeof crc);
  return crc;
}

// One chain: read, getters, setters, write; then a fresh chain of the same
// kinds reads what was written and must write the very same bytes.
template <class Common, class Detail>
void Chain(const Input& in) {
  Image written{};
  {
    IHwInfoRoot root;
    IHwInfoBase base(root);
    Common common(base);
    Detail detail(common);
    detail.Read(in.image.data());
    Use(base.IsCheckSumValid());
    Use(base.GetCommonID());
    Use(static_cast<unsigned long>(detail.UsedBytes()));
    Exercise(common, in);
    Exercise(detail, in);
    detail.Write(written.data());
  }
  IHwInfoRoot root;
  IHwInfoBase base(root);
  Common common(base);
  Detail detail(common);
  const bool read = detail.Read(written.data());
  if (!read && StoredCrc(written) != 0) __builtin_trap();
  Image again{};
  detail.Write(again.data());
  if (again != written) __builtin_trap();
}

template <class Common>
void AllDetails(const Input& in) {
  Chain<Common, IHwInfoTestDetail_Cpu>(in);
  Chain<Common, IHwInfoTestDetail_Cpu_V2>(in);
  Chain<Common, IHwInfoTestDetail_Cpu_V3>(in);
  Chain<Common, IHwInfoTestDetail_Cpu_V4>(in);
  Chain<Common, IHwInfoTestDetail_Netzteil>(in);
  Chain<Common, IHwInfoTestDetail_Netzteil_V2>(in);
  Chain<Common, IHwInfoTestDetail_HMI>(in);
  Chain<Common, IHwInfoTestDetail_HMI_V2>(in);
  Chain<Common, IHwInfoTestDetail_FADC>(in);
  Chain<Common, IHwInfoTestDetail_MKAIR>(in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Input in = Decode(data, size);
  AllDetails<IHwInfoTest_Common>(in);
  AllDetails<IHwInfoTest_Common_V2>(in);
  AllDetails<IHwInfoTest_Common_V3>(in);
  // The root and base alone.
  IHwInfoRoot root;
  IHwInfoBase base(root);
  Use(base.Read(in.image.data()));
  return 0;
}
