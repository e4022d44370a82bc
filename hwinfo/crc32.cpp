// The image checksum: a table-driven reflected CRC-32 whose register starts at
// 0 and is not inverted at the end; the table is built at compile time.
#include "hwinfo/crc32.h"

#include <array>

namespace hwinfo {
namespace {

constexpr std::uint32_t kReflectedPolynomial = 0xEDB88320u;  // 0x04C11DB7 reflected

constexpr std::array<std::uint32_t, 256> BuildTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? (c >> 1) ^ kReflectedPolynomial : c >> 1;
    table[i] = c;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kTable = BuildTable();

}  // namespace

std::uint32_t Crc32TableEntry(std::uint8_t index) { return kTable[index]; }

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) crc = kTable[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
  return crc;
}

}  // namespace hwinfo
