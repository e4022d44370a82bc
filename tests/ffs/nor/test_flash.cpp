// The in-memory test flash and its device operations.
#include "tests/ffs/nor/test_flash.h"

#include <cstring>

#include "ffs/ffs.h"

namespace nortest {

bool TestFlash::Inside(uint32_t a, uint32_t n) const { return a <= mem.size() && n <= mem.size() - a; }

int TestFlash::read_byte(uint32_t a) {
  if (!Inside(a, 1)) return -2;
  return int8_t(mem[a]);
}

int TestFlash::program_byte(uint32_t a, uint8_t v) {
  if (!Inside(a, 1)) return -2;
  ++program_calls;
  programmed.push_back(a);
  events.push_back(a);
  mem[a] &= v;
  return 0;
}

int TestFlash::write_block(const void* src, uint32_t a) {
  if (!Inside(a, geo.block_size)) return -2;
  if (++write_calls > fail_writes_after) return fail_code;
  events.push_back(a | kBlockWrite);
  std::memcpy(&mem[a], src, geo.block_size);
  return 0;
}

int TestFlash::block_erased(uint32_t a) {
  if (!Inside(a, geo.block_size)) return 0;
  for (uint32_t i = 0; i < geo.block_size; ++i) {
    if (mem[a + i] != 0xFF) return 0;
  }
  return 1;
}

int TestFlash::read_block(void* dst, uint32_t a) {
  if (!Inside(a, geo.block_size)) return -2;
  if (++read_calls > fail_reads_after) return fail_code;
  std::memcpy(dst, &mem[a], geo.block_size);
  return 0;
}

int TestFlash::erase_sector(uint32_t a) {
  if (!Inside(a, geo.sector_size)) return -2;
  if (++erase_calls > fail_erases_after) return fail_code;
  erased.push_back(a / geo.sector_size);
  std::memset(&mem[a], 0xFF, geo.sector_size);
  return 0;
}

TestFlash::TestFlash(uint32_t sector_size, uint32_t sector_count, uint32_t block_size)
    : mem(size_t(sector_size) * sector_count, 0xFF) {
  nor::Geometry::Derive(sector_size, block_size, sector_count, 0, geo);
  std::strcpy(record.name, "TmpDisc");
  record.device = this;
  record.self = &record;
  record.cluster_size = geo.cluster_size;
  record.blocks_per_cluster = geo.BlocksPerCluster();
  record.cluster_count = geo.cluster_count;
  record.sector_count = sector_count;
  record.sector_size = sector_size;
  record.block_size = block_size;
  record.clusters_per_sector = geo.clusters_per_sector;
  record.reserve_count = 1;
  record.cache_size = 10;
  record.read_limit = 1000000;
  record.ref_count = 1;
}

VolumeDescriptor TestFlash::Descriptor(const char* name) const {
  VolumeDescriptor d{};
  d.name = name;
  d.version = FFS_DESCRIPTOR_VERSION;
  d.sector_size = geo.sector_size;
  d.block_size = geo.block_size;
  d.sector_count = geo.sector_count;
  d.device = const_cast<TestFlash*>(this);
  return d;
}

void TestFlash::EraseAll() { std::memset(mem.data(), 0xFF, mem.size()); }

void TestFlash::ResetCounters() {
  program_calls = write_calls = erase_calls = read_calls = 0;
  programmed.clear();
  events.clear();
  erased.clear();
}

}  // namespace nortest
