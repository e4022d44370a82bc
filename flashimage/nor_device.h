// The abstract NOR flash device and the geometry it reports. Operations are
// virtual in a fixed slot order; addresses are flash addresses.
#pragma once

#include <cstdint>

namespace flashimage {

inline constexpr std::uint32_t kDeviceBlockSize = 512;
inline constexpr std::uint8_t kErasedByte = 0xFF;

struct DeviceInfo {
  const char* name;
  std::uint32_t sectorSize;
  std::uint32_t blockSize;
  std::uint32_t sectorCount;
  std::uint32_t startOffset;
};

class NorDevice {
 public:
  virtual ~NorDevice() = default;                                          // slot 0
  virtual DeviceInfo* init(DeviceInfo* out) { return out; }                // slot 1
  virtual int program_byte(std::uint32_t address, std::uint8_t value) = 0; // slot 2
  virtual int write_block(const void* source, std::uint32_t address) = 0;  // slot 3
  virtual int read_block(void* destination, std::uint32_t address) = 0;    // slot 4
  virtual int read(void*, std::uint32_t, std::uint32_t) { return -1; }     // slot 5
  virtual int block_erased(std::uint32_t address) = 0;                     // slot 6
  virtual int sector_erased(std::uint32_t address) = 0;                    // slot 7
  virtual int erase_sector(std::uint32_t address) = 0;                     // slot 8
  virtual int read_byte(std::uint32_t) { return -1; }                      // slot 9
  virtual int copy(std::uint32_t, std::uint32_t, std::uint32_t) { return -1; }  // slot 10
  virtual void idle() {}                                                   // slot 11
  virtual std::uint32_t range(std::uint8_t** start, std::uint32_t* size) = 0;  // slot 12
};

}  // namespace flashimage
