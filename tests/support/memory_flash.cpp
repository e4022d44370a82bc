// The in-memory flash's callbacks and its registration.
#include "tests/support/memory_flash.h"

#include <cstring>

#include "ffs/ffs.h"

namespace testsupport {
namespace {

constexpr std::uint32_t kBlock = 512;

MemoryFlash* F(void* d) { return static_cast<MemoryFlash*>(d); }
bool Inside(void* d, std::uint32_t a, std::uint32_t n) { return std::uint64_t{a} + n <= F(d)->bytes.size(); }

int ReadByte(void* d, std::uint32_t a) {
  return Inside(d, a, 1) ? static_cast<std::int8_t>(F(d)->bytes[a]) : -1;
}
int ProgramByte(void* d, std::uint32_t a, std::uint8_t v) {
  if (!Inside(d, a, 1)) return -1;
  F(d)->bytes[a] &= v;
  return 0;
}
int WriteBlock(void* d, const void* src, std::uint32_t a) {
  if (!Inside(d, a, kBlock)) return -1;
  std::memcpy(&F(d)->bytes[a], src, kBlock);
  return 0;
}
int BlockErased(void* d, std::uint32_t a) {
  if (!Inside(d, a, kBlock)) return 0;
  for (std::uint32_t i = 0; i < kBlock; ++i)
    if (F(d)->bytes[a + i] != 0xFF) return 0;
  return 1;
}
int ReadBlock(void* d, void* dst, std::uint32_t a) {
  if (!Inside(d, a, kBlock)) return -1;
  std::memcpy(dst, &F(d)->bytes[a], kBlock);
  return 0;
}
int Copy(void*, std::uint32_t, std::uint32_t, std::uint32_t) { return -1; }
int EraseSector(void* d, std::uint32_t a) {
  if (!Inside(d, a, F(d)->sectorSize)) return -1;
  std::memset(&F(d)->bytes[a], 0xFF, F(d)->sectorSize);
  return 0;
}
void Idle(void*) {}

}  // namespace

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
  d.callbacks = {ReadByte, ProgramByte, WriteBlock, BlockErased, ReadBlock, Copy, EraseSector, Idle};
  return ffs_add_volume(fs, &d);
}

}  // namespace testsupport
