// A NOR flash simulated in memory: over a mapped image view, or over memory of
// its own when it has no view. Programming only clears bits; blank checks and
// erases work on 32-bit words. Addresses outside the device are refused.
// For a sector known erased (erased by the device, found erased, or a new
// image written erased) the device keeps the extent written since: blank
// checks and erases read and write only that extent, all else holds 0xFF.
// The memory changes only through the device's operations, and the device
// keeps per sector the extent changed since the last TakeChanged.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "flashimage/nor_device.h"

namespace flashimage {

class RamNorDevice : public NorDevice {
 public:
  RamNorDevice(const std::string& name, std::uint32_t sectorSize, std::uint32_t totalSize,
               std::uint8_t* mappedBase, std::uint32_t startOffset, bool isVolatile);
  ~RamNorDevice() override;
  RamNorDevice(const RamNorDevice&) = delete;
  RamNorDevice& operator=(const RamNorDevice&) = delete;

  DeviceInfo* init(DeviceInfo* out) override;
  int program_byte(std::uint32_t address, std::uint8_t value) override;
  int write_block(const void* source, std::uint32_t address) override;
  int read_block(void* destination, std::uint32_t address) override;
  int read(void* destination, std::uint32_t address, std::uint32_t count) override;
  int block_erased(std::uint32_t address) override;
  int sector_erased(std::uint32_t address) override;
  int erase_sector(std::uint32_t address) override;
  int read_byte(std::uint32_t address) override;
  int copy(std::uint32_t, std::uint32_t, std::uint32_t) override { return -1; }
  void idle() override {}
  std::uint32_t range(std::uint8_t** start, std::uint32_t* size) override;
  virtual bool all_erased();               // slot 13
  virtual DeviceInfo* info(DeviceInfo* out);  // slot 14

  // Takes every sector as erased without reading it: for memory known to
  // hold only 0xFF (a new image file written erased before it was mapped).
  void TakeAsErased() { written_.assign(sectorCount_, Extent{0, 0}); }

  std::uint32_t SectorSize() const { return sectorSize_; }
  std::uint32_t SectorCount() const { return sectorCount_; }
  std::uint8_t* Memory() const { return memory_; }
  // The memory ranges (offset, bytes) programmed, written or erased since
  // the last call (since init at the first), ascending, neighbours joined;
  // forgets them. What a buffered image writes back to its file.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> TakeChanged();

 private:
  // The memory byte of a flash address range, or null when [address,
  // address + count) does not lie inside the device.
  std::uint8_t* At(std::uint32_t address, std::uint32_t count) const;
  bool WordsErased(const std::uint8_t* p, std::uint32_t bytes) const;
  std::uint32_t Size() const { return sectorSize_ * sectorCount_; }
  // Index of the sector holding a flash address inside the device.
  std::uint32_t SectorIndex(std::uint32_t address) const {
    return (address - startOffset_) / sectorSize_;
  }
  // Bytes [begin, end) of a sector written since it was known erased; a
  // sector not known erased has begin > end.
  struct Extent {
    std::uint32_t begin, end;
  };
  static constexpr Extent kUnknown{1, 0};
  // True when [address, address + count) lies in one sector known erased
  // and outside what was written into it since.
  bool KnownErased(std::uint32_t address, std::uint32_t count) const;
  void MarkWritten(std::uint32_t address, std::uint32_t count);
  void MarkChanged(std::uint32_t address, std::uint32_t count);
  // Calls visit(sector, from, to) for each sector part of [address, address + count).
  template <class Visit>
  void ForSectorParts(std::uint32_t address, std::uint32_t count, Visit visit) const;
  void MarkErased(std::uint32_t sector) { written_[sector] = Extent{0, 0}; }

  std::uint32_t sectorSize_;
  std::uint32_t sectorCount_;
  std::string name_;
  std::uint8_t* memory_ = nullptr;
  std::uint8_t* mappedBase_;
  std::uint32_t startOffset_;
  std::uint8_t volatile_;
  bool ownsMemory_ = false;
  std::vector<Extent> written_;  // per sector
  std::vector<Extent> changed_;  // per sector, {0, 0} when unchanged
};

}  // namespace flashimage
