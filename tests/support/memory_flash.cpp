// The in-memory flash's device operations and its registration.
#include "tests/support/memory_flash.h"

#include <cstring>

#include "ffs/ffs.h"

namespace testsupport {
namespace {

constexpr std::uint32_t kBlock = 512;

}  // namespace

int MemoryFlash::read_byte(std::uint32_t a) {
  return Inside(a, 1) ? static_cast<std::int8_t>(bytes[a]) : -1;
}
int MemoryFlash::program_byte(std::uint32_t a, std::uint8_t v) {
  if (!Inside(a, 1)) return -1;
  bytes[a] &= v;
  return 0;
}
int MemoryFlash::write_block(const void* src, std::uint32_t a) {
  if (!Inside(a, kBlock)) return -1;
  std::memcpy(&bytes[a], src, kBlock);
  return 0;
}
int MemoryFlash::block_erased(std::uint32_t a) {
  if (!Inside(a, kBlock)) return 0;
  for (std::uint32_t i = 0; i < kBlock; ++i)
    if (bytes[a + i] != 0xFF) return 0;
  return 1;
}
int MemoryFlash::read_block(void* dst, std::uint32_t a) {
  if (!Inside(a, kBlock)) return -1;
  std::memcpy(dst, &bytes[a], kBlock);
  return 0;
}
int MemoryFlash::erase_sector(std::uint32_t a) {
  if (!Inside(a, sectorSize)) return -1;
  std::memset(&bytes[a], 0xFF, sectorSize);
  return 0;
}

MemoryFlash::MemoryFlash(std::uint32_t size, std::uint32_t count)
    : bytes(std::size_t{size} * count, 0xFF), sectorSize(size), sectorCount(count) {}

int MemoryFlash::AddFormattedVolume(const std::string& name) {
  return AddFormattedVolume(ffs_default(), name);
}

int MemoryFlash::AddFormattedVolume(FileSystem& fs, const std::string& name) {
  if (Register(fs, name) != 0) return -1;
  if (ffs_format(fs, name.c_str()) != 0) return -1;
  return ffs_mount(fs, name.c_str());
}

int MemoryFlash::AddVolume(const std::string& name) { return AddVolume(ffs_default(), name); }

int MemoryFlash::AddVolume(FileSystem& fs, const std::string& name) {
  if (Register(fs, name) != 0) return -1;
  return ffs_mount(fs, name.c_str());
}

int MemoryFlash::Register(FileSystem& fs, const std::string& name) {
  VolumeDescriptor d{};
  d.name = name.c_str();
  d.version = FFS_DESCRIPTOR_VERSION;
  d.sector_size = sectorSize;
  d.block_size = kBlock;
  d.sector_count = sectorCount;
  d.device = this;
  d.options = FFS_OPT_HOLD_ALLOWED;
  return ffs_add_volume(fs, &d);
}

}  // namespace testsupport
