// A NOR flash in memory registered as a file-system volume through the
// module table's ordinary path (descriptor with this device), for tests that
// run the file layer on the real sector manager. Programming only clears bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ffs/nor/flash_device.h"

class FileSystem;

namespace testsupport {

class MemoryFlash : public nor::FlashDevice {
 public:
  MemoryFlash(std::uint32_t sectorSize, std::uint32_t sectorCount);
  // Registers the volume under name, formats it and mounts it. 0 or -1.
  // Without a file system: in the default one.
  int AddFormattedVolume(const std::string& name);
  int AddFormattedVolume(FileSystem& fs, const std::string& name);
  // Registers the volume under name and mounts what the bytes hold. 0 or -1.
  int AddVolume(const std::string& name);
  int AddVolume(FileSystem& fs, const std::string& name);
  std::vector<std::uint8_t> bytes;
  std::uint32_t sectorSize;
  std::uint32_t sectorCount;

  int read_byte(std::uint32_t a) override;
  int program_byte(std::uint32_t a, std::uint8_t v) override;
  int write_block(const void* src, std::uint32_t a) override;
  int block_erased(std::uint32_t a) override;
  int read_block(void* dst, std::uint32_t a) override;
  int copy(std::uint32_t, std::uint32_t, std::uint32_t) override { return -1; }
  int erase_sector(std::uint32_t a) override;
  void idle() override {}

 private:
  bool Inside(std::uint32_t a, std::uint32_t n) const { return std::uint64_t{a} + n <= bytes.size(); }
  int Register(FileSystem& fs, const std::string& name);
};

}  // namespace testsupport
