// A NOR flash in memory for the sector manager's tests: programming only
// clears bits, every device call is counted, and reads, programs, writes or
// erases can be made to fail. It fills a VolumeRecord the way registration does.
#pragma once

#include <cstdint>
#include <vector>

#include "ffs/nor/flash_device.h"
#include "ffs/nor/geometry.h"
#include "ffs/nor/volume_record.h"

namespace nortest {

class TestFlash : public nor::FlashDevice {
 public:
  TestFlash(uint32_t sector_size, uint32_t sector_count, uint32_t block_size = 512);

  std::vector<uint8_t> mem;
  nor::Geometry geo;
  VolumeRecord record{};

  // Counters of device calls.
  uint32_t program_calls = 0;
  uint32_t write_calls = 0;
  uint32_t erase_calls = 0;
  uint32_t read_calls = 0;
  // Addresses programmed with program_byte, in order.
  std::vector<uint32_t> programmed;
  // Every program and block write in order: the address, tagged with
  // kBlockWrite for a block write.
  static constexpr uint32_t kBlockWrite = 0x80000000u;
  std::vector<uint32_t> events;
  std::vector<uint32_t> erased;  // sectors erased, in order
  // Loads a whole image file's bytes into the flash.
  void Load(const std::vector<uint8_t>& image) { mem = image; }
  // Failure injection: a call fails once its counter passes the limit.
  uint32_t fail_reads_after = UINT32_MAX;
  uint32_t fail_erases_after = UINT32_MAX;
  uint32_t fail_writes_after = UINT32_MAX;
  int fail_code = -1;  // what a failing call answers

  // A registration descriptor for this flash under the given name.
  VolumeDescriptor Descriptor(const char* name) const;
  void EraseAll();
  void ResetCounters();
  uint8_t* Cluster(uint32_t cluster) { return mem.data() + cluster * geo.cluster_size; }

  // The device operations (counted, failing past the limits above).
  int read_byte(uint32_t a) override;
  int program_byte(uint32_t a, uint8_t v) override;
  int write_block(const void* src, uint32_t a) override;
  int block_erased(uint32_t a) override;
  int read_block(void* dst, uint32_t a) override;
  int copy(uint32_t, uint32_t, uint32_t) override { return -1; }
  int erase_sector(uint32_t a) override;
  void idle() override {}

 private:
  bool Inside(uint32_t a, uint32_t n) const;
};

}  // namespace nortest
