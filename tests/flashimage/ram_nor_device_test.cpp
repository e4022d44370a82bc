// The simulated NOR device: geometry, bit-clearing programming, word-wise
// blank checks and erases, init's erase rule, and refusal of addresses
// outside the device.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "flashimage/ram_nor_device.h"

namespace {

using flashimage::DeviceInfo;
using flashimage::RamNorDevice;

constexpr std::uint32_t kOld = 65536;
constexpr std::uint32_t kNew = 131072;

TEST(RamNorDevice, GeometryOfAFourMegabyteImage) {
  RamNorDevice oldType("TmpDisc", kOld, 4194304, nullptr, 0, true);
  DeviceInfo info{};
  ASSERT_EQ(oldType.init(&info), &info);
  EXPECT_STREQ(info.name, "TmpDisc");
  EXPECT_EQ(info.sectorSize, 65536u);
  EXPECT_EQ(info.blockSize, 512u);
  EXPECT_EQ(info.sectorCount, 64u);
  EXPECT_EQ(info.startOffset, 0u);
  RamNorDevice newType("TmpDisc", kNew, 4194304, nullptr, 0, true);
  newType.init(&info);
  EXPECT_EQ(info.sectorSize, 131072u);
  EXPECT_EQ(info.sectorCount, 32u);
  std::uint8_t* start = nullptr;
  std::uint32_t size = 0;
  EXPECT_EQ(newType.range(&start, &size), 4194304u);
  EXPECT_EQ(size, 4194304u);
  EXPECT_EQ(start, newType.Memory());
}

TEST(RamNorDevice, OwnMemoryIsErasedAtInit) {
  RamNorDevice d("V", kOld, 4 * kOld, nullptr, 0, false);
  DeviceInfo info{};
  d.init(&info);
  ASSERT_NE(d.Memory(), nullptr);
  EXPECT_TRUE(d.all_erased());
  EXPECT_EQ(d.read_byte(0), -1);
  EXPECT_EQ(d.read_byte(4 * kOld - 1), -1);
}

TEST(RamNorDevice, ProgramOnlyClearsBits) {
  RamNorDevice d("V", kOld, 4 * kOld, nullptr, 0, true);
  DeviceInfo info{};
  d.init(&info);
  EXPECT_EQ(d.program_byte(100, 0xF0), 0);
  EXPECT_EQ(d.read_byte(100), static_cast<std::int8_t>(0xF0));
  EXPECT_EQ(d.program_byte(100, 0x0F), 0);
  EXPECT_EQ(d.read_byte(100), 0);
  EXPECT_EQ(d.program_byte(101, 0x7F), 0);
  EXPECT_EQ(d.read_byte(101), 0x7F);
  EXPECT_EQ(d.program_byte(101, 0xFF), 0);  // programming 0xFF changes nothing
  EXPECT_EQ(d.read_byte(101), 0x7F);
  EXPECT_FALSE(d.all_erased());
  EXPECT_EQ(d.erase_sector(0), 0);
  EXPECT_EQ(d.read_byte(100), -1);
  EXPECT_TRUE(d.all_erased());
}

TEST(RamNorDevice, BlocksAndBlankChecks) {
  RamNorDevice d("V", kOld, 4 * kOld, nullptr, 0, true);
  DeviceInfo info{};
  d.init(&info);
  std::vector<std::uint8_t> block(512);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7);
  EXPECT_EQ(d.block_erased(kOld + 512), 1);
  EXPECT_EQ(d.sector_erased(kOld), 1);
  EXPECT_EQ(d.write_block(block.data(), kOld + 512), 0);
  EXPECT_EQ(d.block_erased(kOld + 512), 0);
  EXPECT_EQ(d.block_erased(kOld), 1);
  EXPECT_EQ(d.block_erased(kOld + 1024), 1);
  EXPECT_EQ(d.sector_erased(kOld), 0);
  EXPECT_EQ(d.sector_erased(0), 1);
  std::vector<std::uint8_t> back(512);
  EXPECT_EQ(d.read_block(back.data(), kOld + 512), 0);
  EXPECT_EQ(back, block);
  std::uint8_t three[3];
  EXPECT_EQ(d.read(three, kOld + 512 + 1, 3), 0);
  EXPECT_EQ(three[0], 7);
  EXPECT_EQ(three[2], 21);
  // write_block assigns: a plain copy, so bits may come back.
  std::vector<std::uint8_t> ones(512, 0xFF);
  EXPECT_EQ(d.write_block(ones.data(), kOld + 512), 0);
  EXPECT_EQ(d.block_erased(kOld + 512), 1);
  // One cleared bit in the last word of a sector.
  d.program_byte(2 * kOld - 1, 0xFE);
  EXPECT_EQ(d.sector_erased(kOld), 0);
  EXPECT_EQ(d.block_erased(2 * kOld - 512), 0);
  EXPECT_EQ(d.copy(0, 1, 2), -1);
}

// A single cleared bit anywhere in a block or sector, within or across the
// scan's strides, makes it not erased; erasing restores it.
TEST(RamNorDevice, EveryByteOfABlockCountsInTheBlankChecks) {
  RamNorDevice d("V", kOld, 4 * kOld, nullptr, 0, true);
  DeviceInfo info{};
  d.init(&info);
  const std::uint32_t block = 2 * kOld + 4096;
  for (std::uint32_t at : {0u, 1u, 7u, 8u, 63u, 64u, 65u, 127u, 200u, 447u, 448u, 508u, 511u}) {
    for (std::uint8_t value : {0x00, 0x7F, 0xFE}) {
      ASSERT_EQ(d.program_byte(block + at, value), 0);
      EXPECT_EQ(d.block_erased(block), 0) << at;
      EXPECT_EQ(d.block_erased(block + 512), 1) << at;
      EXPECT_EQ(d.sector_erased(2 * kOld), 0) << at;
      EXPECT_FALSE(d.all_erased());
      ASSERT_EQ(d.erase_sector(2 * kOld), 0);
      EXPECT_EQ(d.block_erased(block), 1) << at;
    }
  }
  ASSERT_EQ(d.program_byte(kOld - 1, 0xEF), 0);  // the last byte of a sector
  EXPECT_EQ(d.sector_erased(0), 0);
}

// What the device keeps of written extents never changes an answer or a
// byte: random programs, block writes and erases (whole sectors and across
// two) over a view taken as erased, or over content it must look at, are
// checked against a plain copy of the flash after every step.
// Also: the ranges TakeChanged answers, copied into a file that held the
// view at the start, keep the file equal to the view (a buffered image).
TEST(RamNorDevice, KnownErasedSectorsAnswerAsTheirBytesDo) {
  constexpr std::uint32_t kSector = 4096, kSectors = 4, kSize = kSector * kSectors;
  for (unsigned seed = 1; seed <= 8; ++seed) {
    std::vector<std::uint8_t> view(kSize, 0xFF);
    if (seed % 2 == 0) view[seed * 1000] = 0;  // content the device has to find
    std::vector<std::uint8_t> model = view, file = view;
    RamNorDevice d("V", kSector, kSize, view.data(), 0, false);
    if (seed % 2 == 1) d.TakeAsErased();
    DeviceInfo info{};
    d.init(&info);
    unsigned r = seed;
    auto next = [&r](std::uint32_t n) { r = r * 1103515245u + 12345u; return (r >> 8) % n; };
    auto erased = [&model](std::uint32_t at, std::uint32_t n) {
      for (std::uint32_t i = at; i < at + n; ++i)
        if (model[i] != 0xFF) return 0;
      return 1;
    };
    for (int step = 0; step < 400; ++step) {
      const std::uint32_t op = next(10);
      if (op < 5) {
        const std::uint32_t at = next(kSize);
        const std::uint8_t value = std::uint8_t(next(256));
        ASSERT_EQ(d.program_byte(at, value), 0);
        model[at] &= value;
      } else if (op < 7) {
        const std::uint32_t at = next(kSize - 512) / 4 * 4;
        std::vector<std::uint8_t> block(512, 0xFF);
        block[next(512)] = std::uint8_t(next(255));
        ASSERT_EQ(d.write_block(block.data(), at), 0);
        std::memcpy(&model[at], block.data(), 512);
      } else {
        const std::uint32_t at = op < 9 ? next(kSectors) * kSector : next(kSize - kSector);
        ASSERT_EQ(d.erase_sector(at), 0);
        std::memset(&model[at], 0xFF, kSector);
      }
      ASSERT_EQ(view, model) << seed << " " << step;
      if (step % 5 == 4) {
        std::uint32_t end = 0;
        for (const auto& [offset, bytes] : d.TakeChanged()) {
          ASSERT_TRUE(offset >= end && bytes > 0 && offset + bytes <= kSize) << offset;
          std::memcpy(&file[offset], &view[offset], bytes);
          end = offset + bytes + 1;  // ascending, neighbours joined
        }
        ASSERT_EQ(file, view) << seed << " " << step;
      }
      for (std::uint32_t s = 0; s < kSectors; ++s)
        ASSERT_EQ(d.sector_erased(s * kSector), erased(s * kSector, kSector)) << seed << " " << step;
      for (std::uint32_t at = 0; at + 512 <= kSize; at += 256)
        ASSERT_EQ(d.block_erased(at), erased(at, 512)) << seed << " " << step << " " << at;
      const std::uint32_t odd = next(kSize - kSector);
      ASSERT_EQ(d.sector_erased(odd), erased(odd, kSector)) << seed << " " << step;
    }
  }
}

TEST(RamNorDevice, AddressesOutsideTheDeviceAreRefused) {
  RamNorDevice d("V", kOld, 4 * kOld, nullptr, 0, true);
  DeviceInfo info{};
  d.init(&info);
  const std::uint32_t end = 4 * kOld;
  std::vector<std::uint8_t> buf(512, 0);
  EXPECT_EQ(d.program_byte(end, 0), -1);
  EXPECT_EQ(d.read_byte(end), -1);
  EXPECT_EQ(d.write_block(buf.data(), end - 511), -1);
  EXPECT_EQ(d.read_block(buf.data(), end - 256), -1);
  EXPECT_EQ(d.read(buf.data(), 0xFFFFFFF0u, 32), -1);
  EXPECT_EQ(d.block_erased(end), 0);
  EXPECT_EQ(d.sector_erased(end), 0);
  EXPECT_EQ(d.erase_sector(end), -1);
  EXPECT_EQ(d.write_block(buf.data(), end - 512), 0);  // the last block is inside
}

TEST(RamNorDevice, StartOffsetShiftsAddresses) {
  RamNorDevice d("V", kOld, 4 * kOld, nullptr, 0x100000, false);
  DeviceInfo info{};
  d.init(&info);
  EXPECT_EQ(info.startOffset, 0x100000u);
  EXPECT_EQ(d.program_byte(0x100000, 0x12), 0);
  EXPECT_EQ(d.Memory()[0], 0x12);
  EXPECT_EQ(d.read_byte(0xFFFFF), -1);
  EXPECT_EQ(d.program_byte(0xFFFFF, 0), -1);
  EXPECT_EQ(d.read_byte(0xFFFFF), -1);
}

// Over a mapped view: init erases a volatile device, or one all zero; a
// non-volatile device with content keeps it. The tail after the last whole
// sector is never touched.
TEST(RamNorDevice, InitOverAViewFollowsTheEraseRule) {
  const std::uint32_t size = 4 * kOld + 1000;
  std::vector<std::uint8_t> view(size, 0);
  {
    RamNorDevice zero("V", kOld, size, view.data(), 0, false);
    DeviceInfo info{};
    zero.init(&info);
    EXPECT_EQ(info.sectorCount, 4u);
    EXPECT_TRUE(zero.all_erased());
    for (std::uint32_t i = 4 * kOld; i < size; ++i) ASSERT_EQ(view[i], 0) << i;
  }
  view[10] = 0x5A;
  view[4 * kOld + 5] = 0x33;  // in the tail
  {
    RamNorDevice keep("V", kOld, size, view.data(), 0, false);
    DeviceInfo info{};
    keep.init(&info);
    EXPECT_EQ(view[10], 0x5A);
    EXPECT_EQ(view[11], 0xFF);
  }
  std::fill(view.begin(), view.begin() + 4 * kOld, 0);
  view[4] = 1;
  std::fill(view.begin() + kOld, view.begin() + 3 * kOld, 0xFF);  // two sectors erased already
  view[3 * kOld - 1] = 0x7F;  // but for the last bit of the second
  {
    RamNorDevice erase("V", kOld, size, view.data(), 0, true);
    DeviceInfo info{};
    erase.init(&info);
    EXPECT_TRUE(erase.all_erased());
    EXPECT_EQ(view[4 * kOld + 5], 0x33);
    EXPECT_EQ(view[4 * kOld + 6], 0);
  }
  // The view outlives the device: it is not freed by it (ASan would report).
  EXPECT_EQ(view[0], 0xFF);
}

}  // namespace
