// The file API over the sector manager and a test flash: files written,
// unmounted with the final commit, mounted again and read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ffs/ffs.h"
#include "ffs/file_control_block.h"
#include "ffs/nor/volume.h"
#include "ffs/volume_table.h"
#include "tests/ffs/nor/test_flash.h"

namespace {

class FileLayer : public ::testing::Test {
 protected:
  FileLayer() : f(65536, 8) {}
  void Register() {
    ASSERT_EQ(ffs_start(), 0);
    VolumeDescriptor d = f.Descriptor("Nor");
    ASSERT_EQ(ffs_add_volume(&d), 0);
  }
  void TearDown() override { ffs_remove_volume("Nor"); }
  static std::string Pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char((i * 13 + seed * 101 + i / 700) & 0xFF);
    return s;
  }
  void Write(const std::string& path, const std::string& data) {
    const int fd = ffs_open(path.c_str(), FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC, 0x1FF);
    ASSERT_GE(fd, 0) << path << " errno " << ffs_errno();
    ASSERT_EQ(ffs_write(fd, data.data(), uint32_t(data.size())), int(data.size())) << ffs_errno();
    ASSERT_EQ(ffs_close(fd), 0) << ffs_errno();
  }
  std::string Read(const std::string& path) {
    const int fd = ffs_open(path.c_str(), FFS_O_RDONLY, 0);
    if (fd < 0) return "<missing>";
    std::string out;
    char buf[1000];
    int n;
    while ((n = ffs_read(fd, buf, sizeof buf)) > 0) out.append(buf, size_t(n));
    ffs_close(fd);
    return out;
  }
  nortest::TestFlash f;
};

}  // namespace

TEST_F(FileLayer, FilesSurviveUnmountAndMount) {
  f.EraseAll();
  Register();
  ASSERT_NE(ffs_mount("Nor"), 0);  // blank image
  ASSERT_EQ(ffs_format("Nor"), 0) << ffs_errno();
  ASSERT_EQ(ffs_mount("Nor"), 0) << ffs_errno();
  ASSERT_EQ(ffs_mkdir("/Nor/dir", 0x1FF), 0) << ffs_errno();
  std::vector<std::string> names;
  for (int i = 0; i < 30; ++i) {
    names.push_back((i % 2 ? "/Nor/dir/f" : "/Nor/f") + std::to_string(i));
    Write(names.back(), Pattern(size_t(i) * 977 % 5000, unsigned(i)));
  }
  Write("/Nor/f4", Pattern(20000, 99));  // rewritten larger
  for (int i = 0; i < 30; ++i) {  // before the unmount
    const std::string expected = i == 4 ? Pattern(20000, 99) : Pattern(size_t(i) * 977 % 5000, unsigned(i));
    EXPECT_TRUE(Read(names[size_t(i)]) == expected) << "mounted: " << names[size_t(i)];
  }
  ASSERT_EQ(ffs_remove_volume("Nor"), 0) << ffs_errno();  // unmounts with a final commit

  Register();
  ASSERT_EQ(ffs_mount("Nor"), 0) << ffs_errno();
  for (int i = 0; i < 30; ++i) {
    const std::string expected = i == 4 ? Pattern(20000, 99) : Pattern(size_t(i) * 977 % 5000, unsigned(i));
    const std::string got = Read(names[size_t(i)]);
    size_t diff = 0;
    while (diff < got.size() && diff < expected.size() && got[diff] == expected[diff]) ++diff;
    EXPECT_TRUE(got == expected) << names[size_t(i)] << ": " << got.size() << " bytes, "
                                 << expected.size() << " expected, first difference at " << diff;
  }
  VolumeRecord* v = ffs_find_volume("Nor");
  ASSERT_NE(v, nullptr);
  ASSERT_NE(v->nor, nullptr);
  EXPECT_EQ(v->nor->FreeList().size(), v->nor->free_count);
}

TEST_F(FileLayer, AFullVolumeFailsCleanlyAndStillMounts) {
  f.EraseAll();
  Register();
  ASSERT_EQ(ffs_format("Nor"), 0) << ffs_errno();
  ASSERT_EQ(ffs_mount("Nor"), 0) << ffs_errno();
  // Rewrites are recycled; new files fill the volume until the space runs
  // out, which must be reported and corrupt nothing.
  int rounds = 0;
  for (; rounds < 2000; ++rounds) {
    const std::string data = Pattern(3000, unsigned(rounds));
    const int fd = ffs_open("/Nor/log", FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC, 0x1FF);
    ASSERT_GE(fd, 0) << rounds << " errno " << ffs_errno();
    ASSERT_EQ(ffs_write(fd, data.data(), uint32_t(data.size())), int(data.size())) << rounds;
    ASSERT_EQ(ffs_close(fd), 0);
  }
  int files = 0;
  for (; files < 2000; ++files) {
    const std::string data = Pattern(3000, unsigned(files));
    const int fd = ffs_open(("/Nor/f" + std::to_string(files)).c_str(),
                            FFS_O_WRONLY | FFS_O_CREAT, 0x1FF);
    if (fd < 0) break;
    const int n = ffs_write(fd, data.data(), uint32_t(data.size()));
    const int closed = ffs_close(fd);
    if (n != int(data.size()) || closed != 0) break;
  }
  EXPECT_LT(files, 2000);
  EXPECT_GT(files, 10);
  EXPECT_EQ(ffs_errno(), FFS_ENOSPC);
  ASSERT_EQ(ffs_remove_volume("Nor"), 0) << ffs_errno();
  Register();
  ASSERT_EQ(ffs_mount("Nor"), 0) << ffs_errno();
  EXPECT_EQ(Read("/Nor/log"), Pattern(3000, 1999));
  for (int i = 0; i < files; ++i) {
    ASSERT_EQ(Read("/Nor/f" + std::to_string(i)), Pattern(3000, unsigned(i))) << i;
  }
}

// Damaged sector headers: a stray byte between the bitmap and the signature,
// or a start bit cleared for a sector's last cluster, would hide any
// checkpoint later written into that sector. Whichever sector is damaged,
// files committed by each unmount are there after the next mount, while the
// commits move through the sectors.
TEST_F(FileLayer, CommitsStayFoundWhenAHeaderIsDamaged) {
  f.EraseAll();
  Register();
  ASSERT_EQ(ffs_format("Nor"), 0) << ffs_errno();
  ASSERT_EQ(ffs_remove_volume("Nor"), 0) << ffs_errno();
  const std::vector<uint8_t> formatted = f.mem;
  int mounted = 0;
  for (int kind = 0; kind < 2; ++kind) {
    for (uint32_t s = 0; s < f.geo.sector_count; ++s) {
      f.mem = formatted;
      const uint32_t at = kind == 0 ? 200 : f.geo.BitmapBytes() - 1;  // 16 bitmap bytes
      f.mem[f.geo.SectorAddress(s) + at] &= kind == 0 ? 0xF7 : 0xFE;
      Register();
      if (ffs_mount("Nor") != 0) {  // the sector of the only checkpoint
        ffs_remove_volume("Nor");
        continue;
      }
      ++mounted;
      // Big files move the data through the sectors, many commits move the
      // checkpoint area on.
      for (unsigned round = 0; round < 40; ++round) {
        const size_t size = round < 8 ? 30000 : 100;
        Write("/Nor/f" + std::to_string(round), Pattern(size, round));
        ASSERT_EQ(ffs_remove_volume("Nor"), 0) << "kind " << kind << " sector " << s << " round " << round
                                               << " errno " << ffs_errno();
        Register();
        ASSERT_EQ(ffs_mount("Nor"), 0) << "kind " << kind << " sector " << s << " errno " << ffs_errno();
        ASSERT_TRUE(Read("/Nor/f" + std::to_string(round)) == Pattern(size, round))
            << "kind " << kind << " sector " << s << " round " << round;
      }
      ASSERT_EQ(ffs_remove_volume("Nor"), 0) << ffs_errno();
    }
  }
  EXPECT_GE(mounted, 14);
}
