// The abstract NOR flash device and the geometry it reports. Operations are
// listed in their fixed slot order; addresses are flash addresses.
#pragma once

#include <cstdint>

#include "ffs/nor/flash_device.h"

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

// The eight operations a volume calls are those of nor::FlashDevice, so the
// sector manager reaches this device directly (the volume holds it).
class NorDevice : public nor::FlashDevice {
 public:
  ~NorDevice() override = default;                                         // slot 0
  virtual DeviceInfo* init(DeviceInfo* out) { return out; }                // slot 1
  int program_byte(std::uint32_t address, std::uint8_t value) override = 0;  // slot 2
  int write_block(const void* source, std::uint32_t address) override = 0;   // slot 3
  int read_block(void* destination, std::uint32_t address) override = 0;     // slot 4
  virtual int read(void*, std::uint32_t, std::uint32_t) { return -1; }     // slot 5
  int block_erased(std::uint32_t address) override = 0;                    // slot 6
  virtual int sector_erased(std::uint32_t address) = 0;                    // slot 7
  int erase_sector(std::uint32_t address) override = 0;                    // slot 8
  int read_byte(std::uint32_t) override { return -1; }                     // slot 9
  int copy(std::uint32_t, std::uint32_t, std::uint32_t) override { return -1; }  // slot 10
  void idle() override {}                                                  // slot 11
  virtual std::uint32_t range(std::uint8_t** start, std::uint32_t* size) = 0;  // slot 12
};

}  // namespace flashimage
