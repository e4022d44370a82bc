// Every constant of the hardware-information image, named once: image size and
// fill, checksum range, detail types and versions, selector and key names, the
// fixed values some records stamp, and the text formats of dates and MACs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hwinfo {

// The image.
constexpr std::size_t kImageSize = 512;
constexpr std::uint8_t kFreshImageByte = 0xAB;
constexpr std::size_t kChecksumOffset = 0;
constexpr std::size_t kChecksumSize = 4;
constexpr std::size_t kChecksumStart = kChecksumOffset + kChecksumSize;  // covers 4..511

// Common record versions (the common ID of the base record).
constexpr std::uint16_t kCommonV1 = 1;
constexpr std::uint16_t kCommonV2 = 2;
constexpr std::uint16_t kCommonV3 = 3;

// Detail record types and versions; the detail ID is type * 256 + version.
constexpr int kTypeFadc = 1;
constexpr int kTypeCpu = 2;
constexpr int kTypeNetzteil = 3;
constexpr int kTypeHmi = 4;
constexpr int kTypeMkair = 5;
constexpr std::uint16_t DetailId(int type, int version) {
  return static_cast<std::uint16_t>(type * 256 + version);
}

// Variant keys: "0<" selects slot 1; "0+", "Dev" and any other text slot 0.
constexpr const char* kVariantSlot1Key = "0<";
constexpr std::size_t kVariantSlots = 2;
// The key prefix the power supply answers in front of its stored module names.
constexpr const char* kNetzteilNamePrefix = "0+";
// A version-2 module name keeps characters 3 to 20; the first two come from the key.
constexpr std::size_t kNamePrefixLength = 2;
constexpr std::size_t kFullModuleNameLength = 20;

// Module selectors of Cpu versions 2 and 3 (group 0 is the device group).
constexpr const char* kCpuV2Modules[] = {"Device", "UART-2", "UART-3", "Flash", "Ethernet", "Profibus"};
// Module selectors of Cpu version 4 (no device group).
constexpr const char* kCpuV4Modules[] = {"UART-2", "UART-3", "Flash", "Ethernet", "Profibus"};
// Component selectors of the power supply records.
constexpr const char* kNetzteilV1Components[] = {"Kondensator", "Kuehlkoerper"};
constexpr const char* kNetzteilV2Components[] = {"Capacitor", "HeatSink"};

// Cpu version 4.
constexpr std::uint8_t kCpuV4SubversionWritten = 2;
constexpr std::uint8_t kCpuV4SubversionLimit = 3;  // stored values from 3 up read as 0
constexpr char kDeliveryItemSeparator = '+';
constexpr std::size_t kMacBytes = 6;
constexpr std::size_t kMacTextLimit = 24;  // a MAC text must be shorter than this
constexpr const char* kMacScanFormat = "%x-%x-%x-%x-%x-%x";
constexpr const char* kMacPrintFormat = "%02X-%02X-%02X-%02X-%02X-%02X";

// Check dates.
constexpr const char* kCheckDateV2Format = "%02d%02d%02d:%02d%02d";
constexpr const char* kCheckDateV3Format = "%02d-%02d-%02d";

// FADC: the encoder always stamps this word at record offset 192.
constexpr std::uint16_t kFadcMarkWord = 0x5259;

// Calibration tables.
constexpr int kFadcRows = 4;
constexpr int kFadcColumns = 4;
constexpr int kFadcValues = 3;
constexpr int kMkairRows = 8;
constexpr int kMkairColumns = 4;
constexpr int kMkairValues = 2;

}  // namespace hwinfo
