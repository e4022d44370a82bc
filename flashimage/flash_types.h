// The two flash types an image is made for: their option names, codes and
// sector sizes. Nothing else differs between them; the names are compared
// case-sensitively.
#pragma once

#include <cstdint>
#include <string_view>

namespace flashimage {

enum class FlashTypeCode : std::uint32_t { None = 0, Old = 1, New = 2 };

inline constexpr char kFlashTypeOld[] = "MX29LV640B";
inline constexpr char kFlashTypeNew[] = "M29W256G";

inline constexpr std::uint32_t kOldSectorSize = 0x10000;
inline constexpr std::uint32_t kNewSectorSize = 0x20000;

// The code of a flash type's option value; None for any other text.
inline FlashTypeCode FlashTypeOfName(std::string_view name) {
  return name == kFlashTypeOld ? FlashTypeCode::Old
       : name == kFlashTypeNew ? FlashTypeCode::New
                               : FlashTypeCode::None;
}

// Sector size of a flash type code (FlashTypeCode); 0 for no type.
inline std::uint32_t SectorSizeOfFlashType(std::uint32_t code) {
  if (code == static_cast<std::uint32_t>(FlashTypeCode::Old)) return kOldSectorSize;
  if (code == static_cast<std::uint32_t>(FlashTypeCode::New)) return kNewSectorSize;
  return 0;
}

}  // namespace flashimage
