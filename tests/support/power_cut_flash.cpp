// The power-cut flash and its device operations.
#include "tests/support/power_cut_flash.h"

#include <cstring>

#include "ffs/ffs.h"

namespace testsupport {
namespace {

constexpr int kRefused = -1;

}  // namespace

int PowerCutFlash::read_byte(std::uint32_t a) {
  if (Dead() || !Inside(a, 1)) return kRefused;
  return static_cast<std::int8_t>(bytes[a]);
}
int PowerCutFlash::block_erased(std::uint32_t a) {
  if (Dead() || !Inside(a, kBlock)) return 0;
  for (std::uint32_t i = 0; i < kBlock; ++i)
    if (bytes[a + i] != 0xFF) return 0;
  return 1;
}
int PowerCutFlash::read_block(void* dst, std::uint32_t a) {
  if (Dead() || !Inside(a, kBlock)) return kRefused;
  std::memcpy(dst, &bytes[a], kBlock);
  return 0;
}

PowerCutFlash::PowerCutFlash(std::uint32_t size, std::uint32_t count)
    : bytes(std::size_t{size} * count, 0xFF), sectorSize(size), sectorCount(count) {}

void PowerCutFlash::CutAt(std::uint64_t k, std::uint32_t seed) {
  cutAt_ = k;
  rng_.seed(seed);
}

void PowerCutFlash::Reboot() {
  dead_ = false;
  cutAt_ = 0;
  calls_ = 0;
  erases_ = 0;
  cutProgram_ = UINT32_MAX;
}

PowerCutFlash::Fate PowerCutFlash::Next() {
  if (dead_) return Fate::Refuse;
  ++calls_;
  if (cutAt_ != 0 && calls_ == cutAt_) {
    dead_ = true;
    return Fate::Cut;
  }
  return Fate::Run;
}

void PowerCutFlash::Done(std::uint32_t programAddress) {
  if (afterCall != nullptr) afterCall(afterCallContext, calls_, programAddress);
}

int PowerCutFlash::Program(std::uint32_t a, std::uint8_t v) {
  if (!Inside(a, 1)) return kRefused;
  switch (Next()) {
    case Fate::Refuse: return kRefused;
    case Fate::Cut:
      // Only some of the bits to clear are cleared.
      bytes[a] &= static_cast<std::uint8_t>(v | static_cast<std::uint8_t>(rng_()));
      cutProgram_ = a;
      return kRefused;
    case Fate::Run: break;
  }
  bytes[a] &= v;
  Done(a);
  return 0;
}

int PowerCutFlash::Write(const void* src, std::uint32_t a) {
  if (!Inside(a, kBlock)) return kRefused;
  const auto* in = static_cast<const std::uint8_t*>(src);
  std::uint32_t n = kBlock;
  const Fate fate = Next();
  if (fate == Fate::Refuse) return kRefused;
  if (fate == Fate::Run) {
    for (std::uint32_t i = 0; i < kBlock; ++i) {
      if ((bytes[a + i] & in[i]) != in[i]) {
        if (overwrites_++ == 0) firstOverwrite_ = a + i;
        break;
      }
    }
  } else {
    // Whole words up to the cut word, of which a random part of the bits
    // to clear is cleared.
    n = static_cast<std::uint32_t>(rng_() % (kBlock / 4)) * 4;
    for (std::uint32_t i = n; i < n + 4; ++i)
      bytes[a + i] &= static_cast<std::uint8_t>(in[i] | static_cast<std::uint8_t>(rng_()));
  }
  for (std::uint32_t i = 0; i < n; ++i) bytes[a + i] &= in[i];
  if (fate == Fate::Cut) return kRefused;
  Done(UINT32_MAX);
  return 0;
}

int PowerCutFlash::Erase(std::uint32_t a) {
  if (!Inside(a, sectorSize)) return kRefused;
  switch (Next()) {
    case Fate::Refuse: return kRefused;
    case Fate::Cut: {
      // Erased up to some point (none at all, sometimes); beyond it any
      // bytes at all.
      const std::uint32_t done = rng_() % 4 == 0 ? 0 : static_cast<std::uint32_t>(rng_() % sectorSize);
      std::memset(&bytes[a], 0xFF, done);
      for (std::uint32_t i = done; i < sectorSize; ++i) bytes[a + i] = static_cast<std::uint8_t>(rng_());
      return kRefused;
    }
    case Fate::Run: break;
  }
  std::memset(&bytes[a], 0xFF, sectorSize);
  ++erases_;
  Done(UINT32_MAX);
  return 0;
}

VolumeDescriptor PowerCutFlash::Descriptor(const char* name) {
  VolumeDescriptor d{};
  d.name = name;
  d.version = FFS_DESCRIPTOR_VERSION;
  d.sector_size = sectorSize;
  d.block_size = kBlock;
  d.sector_count = sectorCount;
  d.device = this;
  d.options = FFS_OPT_HOLD_ALLOWED;
  return d;
}

}  // namespace testsupport
