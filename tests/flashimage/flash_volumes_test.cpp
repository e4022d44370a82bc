// FlashVolumes: the image file it creates, the device and the volume it
// registers (descriptor values, the device the volume holds), the erase
// rule of both directions, and removal of the volume on destruction.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "flashimage/flash_volumes.h"
#include "ffs/ffs.h"
#include "ffs/nor/flash_device.h"
#include "ffs/volume_table.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;
using flashimage::FlashVolumes;

constexpr std::uint32_t kOldCode = static_cast<std::uint32_t>(flashimage::FlashTypeCode::Old);
constexpr std::uint32_t kNewCode = static_cast<std::uint32_t>(flashimage::FlashTypeCode::New);

// Sets up volumes over an image file; the messages printed are returned.
std::string Create(FlashVolumes& v, const std::string& path, std::uint32_t size, std::uint32_t code,
                   bool format, bool* created = nullptr, bool isVolatile = true) {
  v.SetVolumeFileName(path);
  v.SetVolumeSize(size);
  v.SetFlashType(code);
  v.SetVolumeVolatileFlag(isVolatile);
  testing::internal::CaptureStdout();
  const bool ok = v.CreateFlashVolumes(format);
  if (created) *created = ok;
  return testing::internal::GetCapturedStdout();
}

bool AllBytesAre(const std::string& bytes, std::size_t from, std::size_t to, unsigned char value) {
  for (std::size_t i = from; i < to; ++i)
    if (static_cast<unsigned char>(bytes[i]) != value) return false;
  return true;
}

TEST(FlashVolumes, Defaults) {
  FlashVolumes v;
  EXPECT_EQ(v.VolumeName(), "TmpDisc");
  EXPECT_EQ(v.VolumeFileName(), "");
  EXPECT_EQ(v.FlashType(), 0u);
  EXPECT_EQ(v.VolumeSize(), 0u);
  EXPECT_TRUE(v.VolatileFlag());
  EXPECT_FALSE(v.Mounted());
  EXPECT_EQ(v.Device(), nullptr);
}

TEST(FlashVolumes, NewImageIsCreatedFormattedAndRegistered) {
  TempDir dir;
  const std::string path = dir / "out/image.bin";
  {
    FlashVolumes v;
    v.SetVolumeFileName(path);
    v.SetVolumeSize(4194304);
    v.SetFlashType(kOldCode);
    v.SetVolumeVolatileFlag(true);
    testing::internal::CaptureStdout();
    const bool created = v.CreateFlashVolumes(true);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(created);
    EXPECT_TRUE(v.Mounted());
    EXPECT_EQ(out, "Format Volume TmpDisc \nMount Volume TmpDisc \n");
    EXPECT_EQ(ffs_mounted_head(), ffs_find_volume("TmpDisc"));
    ASSERT_NE(v.Device(), nullptr);
    EXPECT_EQ(v.Device()->SectorCount(), 64u);
    EXPECT_EQ(v.Device()->Memory(), v.Image()->View());
    VolumeRecord* record = ffs_find_volume("TmpDisc");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->sector_count, 64u);
    EXPECT_EQ(record->sector_size, 65536u);
    EXPECT_EQ(record->version, 4);
    EXPECT_EQ(record->flags & FFS_VF_HOLD_ALLOWED, FFS_VF_HOLD_ALLOWED);
    EXPECT_EQ(record->device, static_cast<flashimage::NorDevice*>(v.Device()));
  }
  EXPECT_EQ(ffs_find_volume("TmpDisc"), nullptr);
  EXPECT_EQ(ffs_mounted_head(), nullptr);
  EXPECT_EQ(std::filesystem::file_size(path), 4194304u);
}

TEST(FlashVolumes, CallbacksReachTheDeviceSlots) {
  TempDir dir;
  FlashVolumes v;
  Create(v, dir / "image.bin", 4 * 131072, kNewCode, false);
  VolumeRecord* r = ffs_find_volume("TmpDisc");
  ASSERT_NE(r, nullptr);
  // The volume holds the device: each operation reaches its slot directly.
  nor::FlashDevice& m = *r->device;
  std::uint8_t* mem = v.Device()->Memory();
  // This test works in the last sector, which a failed mount leaves alone.
  const std::uint32_t a = 3 * 131072;
  EXPECT_EQ(m.block_erased(a), 1);
  EXPECT_EQ(m.program_byte(a + 1, 0x3C), 0);
  EXPECT_EQ(mem[a + 1], 0x3C);
  EXPECT_EQ(m.read_byte(a + 1), 0x3C);
  EXPECT_EQ(m.read_byte(a + 2), -1);
  EXPECT_EQ(m.block_erased(a), 0);
  std::uint8_t block[512];
  for (int i = 0; i < 512; ++i) block[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(m.write_block(block, a + 512), 0);
  std::uint8_t back[512] = {};
  EXPECT_EQ(m.read_block(back, a + 512), 0);
  EXPECT_EQ(back[511], 255);
  EXPECT_EQ(m.copy(0, 0, 0), -1);
  EXPECT_EQ(m.erase_sector(a), 0);
  EXPECT_EQ(mem[a + 1], 0xFF);
  m.idle();
}

TEST(FlashVolumes, TailAfterTheLastSectorStaysZero) {
  TempDir dir;
  const std::string path = dir / "image.bin";
  const std::uint32_t size = 4 * 65536 + 1000;
  {
    FlashVolumes v;
    Create(v, path, size, kOldCode, false);
    EXPECT_EQ(v.Device()->SectorCount(), 4u);
  }
  const std::string bytes = testsupport::ReadFile(path);
  ASSERT_EQ(bytes.size(), size);
  EXPECT_TRUE(AllBytesAre(bytes, 4 * 65536, size, 0x00));
}

TEST(FlashVolumes, ContentOfANonVolatileImageIsKept) {
  TempDir dir;
  const std::string path = dir / "image.bin";
  std::string image(8 * 65536, '\xFF');
  image[70000] = 'Q';
  image[0] = 0;
  testsupport::WriteFile(path, image);
  {
    FlashVolumes v;
    bool created = true;
    EXPECT_EQ(Create(v, path, static_cast<std::uint32_t>(image.size()), kOldCode, false, &created, false), "");
    EXPECT_FALSE(created);  // no file system in it
  }
  EXPECT_EQ(testsupport::ReadFile(path), image);
}

TEST(FlashVolumes, TooSmallImageIsRefusedAtRegistration) {
  TempDir dir;
  FlashVolumes v;
  bool created = true;
  Create(v, dir / "image.bin", 3 * 131072, kNewCode, true, &created);
  EXPECT_FALSE(created);
  EXPECT_EQ(ffs_find_volume("TmpDisc"), nullptr);
}

TEST(FlashVolumes, ImageThatCannotBeMappedFailsWithoutHarm) {
  TempDir dir;
  std::filesystem::create_directory(dir / "adir");
  {
    FlashVolumes v;
    bool created = true;
    Create(v, dir / "adir", 4 * 65536, kOldCode, false, &created);  // a directory: no view
    EXPECT_FALSE(created);
    EXPECT_EQ(v.Image()->View(), nullptr);
    EXPECT_EQ(v.Image()->Size(), 0u);
    EXPECT_EQ(v.Image()->HostError(), EISDIR);
    // No device in memory stands in for a file the host refused: nothing
    // written to it could ever reach the file.
    EXPECT_EQ(v.Device(), nullptr);
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir / "adir"));
}

TEST(FlashVolumes, SectorSizes) {
  EXPECT_EQ(flashimage::SectorSizeOfFlashType(kOldCode), 65536u);
  EXPECT_EQ(flashimage::SectorSizeOfFlashType(kNewCode), 131072u);
  EXPECT_EQ(flashimage::SectorSizeOfFlashType(0), 0u);
}

}  // namespace

namespace {

// A file written through the file system is in the image after the volume
// is gone, and a second run over the image finds it.
TEST(FlashVolumes, FilesSurviveInTheImage) {
  TempDir dir;
  const std::string path = dir / "image.bin";
  const std::string data(3000, 'q');
  {
    FlashVolumes v;
    bool created = false;
    Create(v, path, 8 * 65536, kOldCode, true, &created);
    ASSERT_TRUE(created);
    const int fd = ffs_open("/TmpDisc/file.txt", FFS_O_WRONLY | FFS_O_CREAT, 0x1FF);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ffs_write(fd, data.data(), 3000), 3000);
    ASSERT_EQ(ffs_close(fd), 0);
  }
  FlashVolumes again;
  bool created = false;
  EXPECT_EQ(Create(again, path, 8 * 65536, kOldCode, false, &created, false), "");
  ASSERT_TRUE(created);
  const int fd = ffs_open("/TmpDisc/file.txt", FFS_O_RDONLY, 0);
  ASSERT_GE(fd, 0);
  std::string back(4000, '\0');
  EXPECT_EQ(ffs_read(fd, back.data(), 4000), 3000);
  back.resize(3000);
  EXPECT_EQ(back, data);
  ffs_close(fd);
}

// An image built in memory holds the mounted image in its file once the
// volume is mounted, and after Close the same bytes a shared mapping leaves.
TEST(FlashVolumes, ImageBuiltInMemoryEqualsTheSharedOne) {
  TempDir dir;
  std::string images[2];
  for (const bool inMemory : {false, true}) {
    const std::string path = dir / (inMemory ? "memory.bin" : "shared.bin");
    FlashVolumes v;
    v.SetBuiltInMemory(inMemory);
    bool created = false;
    Create(v, path, 32 * 65536, kOldCode, true, &created);
    ASSERT_TRUE(created);
    const std::string mounted = testsupport::ReadFile(path);
    EXPECT_EQ(mounted, std::string(reinterpret_cast<const char*>(v.Image()->View()), mounted.size()));
    for (int i = 0; i < 40; ++i) {
      const std::string name = "/TmpDisc/f" + std::to_string(i % 25);
      const int fd = ffs_open(name.c_str(), FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC, 0x1FF);
      ASSERT_GE(fd, 0);
      const std::string data(1000 + 997 * i, static_cast<char>('a' + i % 26));
      ASSERT_EQ(ffs_write(fd, data.data(), data.size()), static_cast<int>(data.size()));
      ASSERT_EQ(ffs_close(fd), 0);
      if (i % 7 == 6) {
        ASSERT_EQ(ffs_unlink(("/TmpDisc/f" + std::to_string(i / 7)).c_str()), 0);
      }
    }
    ASSERT_EQ(v.Close(), 0);
    images[inMemory] = testsupport::ReadFile(path);
  }
  EXPECT_TRUE(images[0] == images[1]);
}

}  // namespace
