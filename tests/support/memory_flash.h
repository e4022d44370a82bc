// A NOR flash in memory registered as a file-system volume through the
// module table's ordinary path (descriptor, eight callbacks), for tests that
// run the file layer on the real sector manager. Programming only clears bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FileSystem;

namespace testsupport {

class MemoryFlash {
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

 private:
  int Register(FileSystem& fs, const std::string& name);
};

}  // namespace testsupport
