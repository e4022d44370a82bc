// The simulated NOR flash. Programming ANDs the new value into the byte (bits
// only go from 1 to 0); an erase sets a whole sector to 0xFF. The tail of an
// image after its last whole sector is never touched.
#include "flashimage/ram_nor_device.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace flashimage {

namespace {
constexpr std::uint32_t kErasedWord = 0xFFFFFFFFu;
}

RamNorDevice::RamNorDevice(const std::string& name, std::uint32_t sectorSize,
                           std::uint32_t totalSize, std::uint8_t* mappedBase,
                           std::uint32_t startOffset, bool isVolatile)
    : sectorSize_(sectorSize),
      sectorCount_(sectorSize ? totalSize / sectorSize : 0),
      name_(name),
      mappedBase_(mappedBase),
      startOffset_(startOffset),
      volatile_(isVolatile ? 1 : 0) {}

bool RamNorDevice::KnownErased(std::uint32_t address, std::uint32_t count) const {
  const std::uint32_t s = SectorIndex(address);
  if (s >= written_.size() || SectorIndex(address + count - 1) != s) return false;
  const Extent& w = written_[s];
  if (w.begin > w.end) return false;
  const std::uint32_t from = (address - startOffset_) % sectorSize_;
  return w.begin == w.end || from + count <= w.begin || from >= w.end;
}

template <class Visit>
void RamNorDevice::ForSectorParts(std::uint32_t address, std::uint32_t count, Visit visit) const {
  for (std::uint32_t at = address; at - address < count;) {
    const std::uint32_t from = (at - startOffset_) % sectorSize_;
    const std::uint32_t to = std::min(sectorSize_, from + (count - (at - address)));
    visit(SectorIndex(at), from, to);
    at += to - from;
  }
}

void RamNorDevice::MarkWritten(std::uint32_t address, std::uint32_t count) {
  ForSectorParts(address, count, [this](std::uint32_t s, std::uint32_t from, std::uint32_t to) {
    if (s >= written_.size()) return;
    Extent& w = written_[s];
    if (w.begin == w.end) w = Extent{from, to};  // the first write since the erase
    else if (w.begin < w.end) w = Extent{std::min(w.begin, from), std::max(w.end, to)};
  });
  MarkChanged(address, count);
}

void RamNorDevice::MarkChanged(std::uint32_t address, std::uint32_t count) {
  ForSectorParts(address, count, [this](std::uint32_t s, std::uint32_t from, std::uint32_t to) {
    if (s >= changed_.size()) return;
    Extent& c = changed_[s];
    c = c.begin == c.end ? Extent{from, to} : Extent{std::min(c.begin, from), std::max(c.end, to)};
  });
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> RamNorDevice::TakeChanged() {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
  for (std::uint32_t s = 0; s < changed_.size(); ++s) {
    Extent& c = changed_[s];
    if (c.begin == c.end) continue;
    const std::uint32_t offset = s * sectorSize_ + c.begin;
    if (!ranges.empty() && ranges.back().first + ranges.back().second == offset)
      ranges.back().second += c.end - c.begin;
    else
      ranges.emplace_back(offset, c.end - c.begin);
    c = Extent{0, 0};
  }
  return ranges;
}

RamNorDevice::~RamNorDevice() {
  if (ownsMemory_) delete[] memory_;
}

std::uint8_t* RamNorDevice::At(std::uint32_t address, std::uint32_t count) const {
  if (memory_ == nullptr || address < startOffset_) return nullptr;
  const std::uint64_t offset = address - startOffset_;
  if (offset + count > Size()) return nullptr;
  return memory_ + offset;
}

// Whole 64-byte strides are ANDed together (the compiler turns that into
// vector code); a programmed bit still ends the scan within its stride.
bool RamNorDevice::WordsErased(const std::uint8_t* p, std::uint32_t bytes) const {
  constexpr std::uint32_t kStride = 64;
  constexpr std::uint64_t kErasedLong = ~std::uint64_t{0};
  std::uint32_t i = 0;
  for (; i + kStride <= bytes; i += kStride) {
    std::uint64_t all = kErasedLong;
    for (std::uint32_t j = 0; j < kStride; j += 8) {
      std::uint64_t word;
      std::memcpy(&word, p + i + j, 8);
      all &= word;
    }
    if (all != kErasedLong) return false;
  }
  for (; i + 4 <= bytes; i += 4) {
    std::uint32_t word;
    std::memcpy(&word, p + i, 4);
    if (word != kErasedWord) return false;
  }
  return true;
}

DeviceInfo* RamNorDevice::init(DeviceInfo* out) {
  if (memory_ == nullptr) {
    memory_ = mappedBase_;
    if (memory_ == nullptr) {
      memory_ = new (std::nothrow) std::uint8_t[Size()]();  // zeroed: erased below
      ownsMemory_ = memory_ != nullptr;
      if (memory_ == nullptr) sectorCount_ = 0;  // no memory: a device of no sectors
    }
  }
  written_.resize(sectorCount_, kUnknown);
  changed_.assign(sectorCount_, Extent{0, 0});
  // A volatile device is erased whatever it holds: its content is not looked at.
  bool allZero = !volatile_;
  for (std::uint32_t i = 0; allZero && i + 4 <= Size(); i += 4) {
    std::uint32_t word;
    std::memcpy(&word, memory_ + i, 4);
    allZero = word == 0;
  }
  // A sector found erased already is left as it is: the same bytes, without
  // writing every page of a new image again.
  if (volatile_ || allZero) {
    for (std::uint32_t s = 0; s < sectorCount_; ++s) {
      const std::uint32_t address = startOffset_ + s * sectorSize_;
      if (sector_erased(address) != 1) erase_sector(address);
    }
  }
  return info(out);
}

int RamNorDevice::program_byte(std::uint32_t address, std::uint8_t value) {
  std::uint8_t* p = At(address, 1);
  if (p == nullptr) return -1;
  MarkWritten(address, 1);
  *p &= value;
  return 0;
}

int RamNorDevice::write_block(const void* source, std::uint32_t address) {
  std::uint8_t* p = At(address, kDeviceBlockSize);
  if (p == nullptr) return -1;
  MarkWritten(address, kDeviceBlockSize);
  std::memcpy(p, source, kDeviceBlockSize);
  return 0;
}

int RamNorDevice::read_block(void* destination, std::uint32_t address) {
  return read(destination, address, kDeviceBlockSize);
}

int RamNorDevice::read(void* destination, std::uint32_t address, std::uint32_t count) {
  const std::uint8_t* p = At(address, count);
  if (p == nullptr) return -1;
  std::memcpy(destination, p, count);
  return 0;
}

int RamNorDevice::block_erased(std::uint32_t address) {
  const std::uint8_t* p = At(address, kDeviceBlockSize);
  if (p == nullptr) return 0;
  if (KnownErased(address, kDeviceBlockSize)) return 1;
  return WordsErased(p, kDeviceBlockSize) ? 1 : 0;
}

// Of a sector known erased only the extent written since is read.
int RamNorDevice::sector_erased(std::uint32_t address) {
  const std::uint8_t* p = At(address, sectorSize_);
  if (p == nullptr) return 0;
  const std::uint32_t s = SectorIndex(address);
  const bool whole = (address - startOffset_) % sectorSize_ == 0;
  Extent scan{0, sectorSize_};
  if (whole && written_[s].begin <= written_[s].end)
    scan = Extent{written_[s].begin / 4 * 4, written_[s].end};
  if (!WordsErased(p + scan.begin, (scan.end - scan.begin + 3) / 4 * 4)) return 0;
  if (whole) MarkErased(s);
  return 1;
}

// 0xFF over bytes that hold it changes nothing: of a sector known erased
// only the extent written since is erased. An erase across two sectors
// leaves what is known of both true.
int RamNorDevice::erase_sector(std::uint32_t address) {
  std::uint8_t* p = At(address, sectorSize_);
  if (p == nullptr) return -1;
  const std::uint32_t s = SectorIndex(address);
  const bool whole = (address - startOffset_) % sectorSize_ == 0;
  Extent fill{0, sectorSize_};
  if (whole && written_[s].begin <= written_[s].end) fill = written_[s];
  std::memset(p + fill.begin, kErasedByte, fill.end - fill.begin);
  MarkChanged(address + fill.begin, fill.end - fill.begin);
  if (whole) MarkErased(s);
  return 0;
}

int RamNorDevice::read_byte(std::uint32_t address) {
  const std::uint8_t* p = At(address, 1);
  if (p == nullptr) return -1;
  return static_cast<std::int8_t>(*p);
}

std::uint32_t RamNorDevice::range(std::uint8_t** start, std::uint32_t* size) {
  if (start) *start = memory_;
  if (size) *size = Size();
  return Size();
}

bool RamNorDevice::all_erased() {
  for (std::uint32_t s = 0; s < sectorCount_; ++s)
    if (sector_erased(startOffset_ + s * sectorSize_) != 1) return false;
  return true;
}

DeviceInfo* RamNorDevice::info(DeviceInfo* out) {
  if (out == nullptr) return out;
  out->name = name_.c_str();
  out->sectorSize = sectorSize_;
  out->blockSize = kDeviceBlockSize;
  out->sectorCount = sectorCount_;
  out->startOffset = startOffset_;
  return out;
}

}  // namespace flashimage
