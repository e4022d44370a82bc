// The in-memory test flash and its medium callbacks.
#include "tests/ffs/nor/test_flash.h"

#include <cstring>

#include "ffs/ffs.h"

namespace nortest {

namespace {

TestFlash& F(void* d) { return *static_cast<TestFlash*>(d); }

bool Inside(TestFlash& f, uint32_t a, uint32_t n) { return a <= f.mem.size() && n <= f.mem.size() - a; }

int ReadByte(void* d, uint32_t a) {
  TestFlash& f = F(d);
  if (!Inside(f, a, 1)) return -2;
  return int8_t(f.mem[a]);
}

int ProgramByte(void* d, uint32_t a, uint8_t v) {
  TestFlash& f = F(d);
  if (!Inside(f, a, 1)) return -2;
  ++f.program_calls;
  f.programmed.push_back(a);
  f.events.push_back(a);
  f.mem[a] &= v;
  return 0;
}

int WriteBlock(void* d, const void* src, uint32_t a) {
  TestFlash& f = F(d);
  if (!Inside(f, a, f.geo.block_size)) return -2;
  if (++f.write_calls > f.fail_writes_after) return f.fail_code;
  f.events.push_back(a | TestFlash::kBlockWrite);
  std::memcpy(&f.mem[a], src, f.geo.block_size);
  return 0;
}

int BlockErased(void* d, uint32_t a) {
  TestFlash& f = F(d);
  if (!Inside(f, a, f.geo.block_size)) return 0;
  for (uint32_t i = 0; i < f.geo.block_size; ++i) {
    if (f.mem[a + i] != 0xFF) return 0;
  }
  return 1;
}

int ReadBlock(void* d, void* dst, uint32_t a) {
  TestFlash& f = F(d);
  if (!Inside(f, a, f.geo.block_size)) return -2;
  if (++f.read_calls > f.fail_reads_after) return f.fail_code;
  std::memcpy(dst, &f.mem[a], f.geo.block_size);
  return 0;
}

int Copy(void*, uint32_t, uint32_t, uint32_t) { return -1; }

int EraseSector(void* d, uint32_t a) {
  TestFlash& f = F(d);
  if (!Inside(f, a, f.geo.sector_size)) return -2;
  if (++f.erase_calls > f.fail_erases_after) return f.fail_code;
  f.erased.push_back(a / f.geo.sector_size);
  std::memset(&f.mem[a], 0xFF, f.geo.sector_size);
  return 0;
}

void Idle(void*) {}

}  // namespace

TestFlash::TestFlash(uint32_t sector_size, uint32_t sector_count, uint32_t block_size)
    : mem(size_t(sector_size) * sector_count, 0xFF) {
  nor::Geometry::Derive(sector_size, block_size, sector_count, 0, geo);
  std::strcpy(record.name, "TmpDisc");
  record.medium = {ReadByte, ProgramByte, WriteBlock, BlockErased, ReadBlock, Copy, EraseSector, Idle};
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
  d.callbacks = record.medium;
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
