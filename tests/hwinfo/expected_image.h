// Expected EEPROM images written out field by field from the documented layout,
// sealed with a bitwise reference CRC (independent of the table-driven one under
// test), and a comparison that names the first differing offset.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace hwinfo_test {

// Bit-at-a-time CRC-32 (reflected 0x04C11DB7, register from 0, no inversion).
inline std::uint32_t ReferenceCrc(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) ? 0xEDB88320u : 0u);
  }
  return crc;
}

class ExpectedImage {
 public:
  explicit ExpectedImage(std::uint8_t fill = 0xAB) { bytes_.fill(fill); }

  ExpectedImage& U8(std::size_t offset, std::uint8_t v) {
    bytes_.at(offset) = v;
    return *this;
  }
  ExpectedImage& U16(std::size_t offset, std::uint16_t v) {
    return U8(offset, v & 0xFF).U8(offset + 1, v >> 8);
  }
  ExpectedImage& U32(std::size_t offset, std::uint32_t v) {
    return U16(offset, v & 0xFFFF).U16(offset + 2, v >> 16);
  }
  ExpectedImage& F32(std::size_t offset, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return U32(offset, bits);
  }
  // `text` zero-padded to `width` bytes.
  ExpectedImage& Text(std::size_t offset, std::size_t width, const std::string& text) {
    EXPECT_LE(text.size(), width) << "test layout error at offset " << offset;
    for (std::size_t i = 0; i < width; ++i) U8(offset + i, i < text.size() ? text[i] : 0);
    return *this;
  }
  ExpectedImage& Bytes(std::size_t offset, std::initializer_list<std::uint8_t> values) {
    for (std::uint8_t v : values) U8(offset++, v);
    return *this;
  }
  ExpectedImage& Zero(std::size_t offset, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) U8(offset + i, 0);
    return *this;
  }
  // Stores the reference CRC of bytes 4..511 at bytes 0..3.
  ExpectedImage& Seal() { return U32(0, ReferenceCrc(bytes_.data() + 4, 508)); }

  const std::uint8_t* data() const { return bytes_.data(); }

 private:
  std::array<std::uint8_t, 512> bytes_;
};

inline ::testing::AssertionResult SameImage(const std::uint8_t* actual, const ExpectedImage& expected) {
  for (std::size_t i = 0; i < 512; ++i) {
    if (actual[i] != expected.data()[i]) {
      return ::testing::AssertionFailure() << "image differs at offset " << i << ": got "
                                           << int(actual[i]) << ", expected " << int(expected.data()[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

using Image = std::array<std::uint8_t, 512>;

}  // namespace hwinfo_test
