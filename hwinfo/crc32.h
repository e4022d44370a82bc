// The image checksum: CRC-32 of the reflected polynomial 0x04C11DB7 with the
// register starting at 0 and no final inversion (check value of "123456789":
// 0x2DFD2D88).
#pragma once

#include <cstddef>
#include <cstdint>

namespace hwinfo {

// Table entry i of the reflected CRC-32 table (entry 1 is 0x77073096).
std::uint32_t Crc32TableEntry(std::uint8_t index);

// CRC of `size` bytes at `data`, register starting at 0, result not inverted.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

}  // namespace hwinfo
