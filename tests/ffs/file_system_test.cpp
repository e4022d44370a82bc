// Two file systems in one process: each holds its own image under the same
// volume name, its own 10 control blocks, error number, owner and current
// directory; interleaved work on both stays apart, and each image remounts
// (in a fresh file system) with exactly what was written to it.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ffs/file_control_block.h"
#include "ffs/file_system.h"
#include "ffs/module_table.h"
#include "ffs/volume_table.h"
#include "tests/support/memory_flash.h"

namespace {

constexpr char kFile[] = "/TmpDisc/f";

struct Image {
  testsupport::MemoryFlash flash{65536, 8};
  std::unique_ptr<FileSystem> fs = std::make_unique<FileSystem>();  // gone before its flash
};

std::string ReadAll(FileSystem& fs, const char* path) {
  const int fd = ffs_open(fs, path, FFS_O_RDONLY, 0);
  if (fd < 0) return "<missing: " + std::to_string(ffs_errno(fs)) + ">";
  std::string out;
  char buf[300];
  for (int n; (n = ffs_read(fs, fd, buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  ffs_close(fs, fd);
  return out;
}

std::vector<std::string> List(FileSystem& fs, const char* path) {
  std::vector<std::string> names;
  FileControlBlock* d = ffs_opendir(fs, path);
  if (d == nullptr) return {"<no listing>"};
  while (const FfsDirent* e = ffs_readdir(fs, d)) names.push_back(e->name);
  ffs_closedir(fs, d);
  return names;
}

class TwoFileSystems : public ::testing::Test {
 protected:
  void SetUp() override {
    for (Image& i : img) {
      ASSERT_EQ(ffs_start(*i.fs), 0);
      ASSERT_EQ(i.flash.AddFormattedVolume(*i.fs, "TmpDisc"), 0) << ffs_errno(*i.fs);
    }
  }
  // The image's volume removed (final commit) and mounted again in a new
  // file system from the flash bytes alone.
  void Remount(Image& i) {
    ASSERT_EQ(ffs_remove_volume(*i.fs, "TmpDisc"), 0);
    i.fs = std::make_unique<FileSystem>();
    ASSERT_EQ(ffs_start(*i.fs), 0);
    ASSERT_EQ(i.flash.AddVolume(*i.fs, "TmpDisc"), 0) << ffs_errno(*i.fs);
  }
  Image img[2];
};

TEST_F(TwoFileSystems, SameVolumeNameTwoImagesInterleavedWrites) {
  FileSystem& a = *img[0].fs;
  FileSystem& b = *img[1].fs;
  // Both name the same path; each gets descriptor 0 of its own table.
  const int fa = ffs_open(a, kFile, FFS_O_WRONLY | FFS_O_CREAT, 0x1C0);
  const int fb = ffs_open(b, kFile, FFS_O_WRONLY | FFS_O_CREAT, 0x1C0);
  ASSERT_EQ(fa, 0);
  ASSERT_EQ(fb, 0);
  std::string wantA, wantB;
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    const std::string ca(1 + rng() % 700, static_cast<char>('a' + round % 26));
    const std::string cb(1 + rng() % 700, static_cast<char>('A' + round % 26));
    ASSERT_EQ(ffs_write(a, fa, ca.data(), static_cast<std::uint32_t>(ca.size())), int(ca.size()));
    ASSERT_EQ(ffs_write(b, fb, cb.data(), static_cast<std::uint32_t>(cb.size())), int(cb.size()));
    wantA += ca;
    wantB += cb;
  }
  // A descriptor of one file system is not a descriptor of the other.
  ASSERT_EQ(ffs_close(a, fa), 0);
  EXPECT_EQ(ffs_write(a, fa, "x", 1), -1);
  EXPECT_EQ(ffs_errno(a), FFS_EBADF);
  ASSERT_EQ(ffs_close(b, fb), 0);
  ASSERT_EQ(ffs_mkdir(a, "/TmpDisc/only_a", 0x1C0), 0);
  ASSERT_EQ(ffs_mkdir(b, "/TmpDisc/only_b", 0x1C0), 0);
  EXPECT_EQ(List(a, "/TmpDisc"), (std::vector<std::string>{"only_a", "f"}));
  EXPECT_EQ(List(b, "/TmpDisc"), (std::vector<std::string>{"only_b", "f"}));
  EXPECT_EQ(List(a, "/"), std::vector<std::string>{"TmpDisc"});
  // The default file system holds neither volume.
  EXPECT_EQ(ffs_find_volume("TmpDisc"), nullptr);
  FfsStat st{};
  EXPECT_EQ(ffs_stat(kFile, &st), -1);

  for (Image& i : img) Remount(i);
  EXPECT_EQ(ReadAll(*img[0].fs, kFile), wantA);
  EXPECT_EQ(ReadAll(*img[1].fs, kFile), wantB);
  EXPECT_EQ(List(*img[0].fs, "/TmpDisc"), (std::vector<std::string>{"only_a", "f"}));
  EXPECT_EQ(List(*img[1].fs, "/TmpDisc"), (std::vector<std::string>{"only_b", "f"}));
}

TEST_F(TwoFileSystems, ControlBlocksErrorOwnerAndDirectoryAreEachItsOwn) {
  FileSystem& a = *img[0].fs;
  FileSystem& b = *img[1].fs;
  // a's 10 blocks all in use: a refuses an 11th open, b still opens.
  std::vector<int> fds;
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    const std::string path = "/TmpDisc/n" + std::to_string(i);
    fds.push_back(ffs_open(a, path.c_str(), FFS_O_WRONLY | FFS_O_CREAT, 0x1C0));
    ASSERT_EQ(fds.back(), i) << ffs_errno(a);
  }
  ffs_set_errno(b, 0);
  EXPECT_EQ(ffs_open(a, "/TmpDisc/more", FFS_O_WRONLY | FFS_O_CREAT, 0x1C0), -1);
  EXPECT_NE(ffs_errno(a), 0);
  EXPECT_EQ(ffs_errno(b), 0);
  const int fb = ffs_open(b, "/TmpDisc/more", FFS_O_WRONLY | FFS_O_CREAT, 0x1C0);
  EXPECT_EQ(fb, 0);
  EXPECT_EQ(ffs_close(b, fb), 0);
  for (int fd : fds) EXPECT_EQ(ffs_close(a, fd), 0);
  EXPECT_EQ(ffs_fcb_high_mark(a), FFS_FCB_COUNT);
  EXPECT_EQ(ffs_fcb_high_mark(b), 1);

  // Owner: files a creates carry a's owner only.
  ffs_set_owner(a, 5, 6);
  ASSERT_EQ(ffs_mkdir(a, "/TmpDisc/owned", 0x1C0), 0);
  ASSERT_EQ(ffs_mkdir(b, "/TmpDisc/owned", 0x1C0), 0);
  FfsStat sa{}, sb{};
  ASSERT_EQ(ffs_stat(a, "/TmpDisc/owned", &sa), 0);
  ASSERT_EQ(ffs_stat(b, "/TmpDisc/owned", &sb), 0);
  EXPECT_EQ(sa.uid, 5);
  EXPECT_EQ(sb.uid, 0);

  // Current directory: a relative path resolves in a only.
  ASSERT_EQ(ffs_chdir(a, "/TmpDisc/owned"), 0);
  EXPECT_EQ(ffs_mkdir(a, "inner", 0x1C0), 0);
  EXPECT_EQ(ffs_mkdir(b, "inner", 0x1C0), -1);
  EXPECT_EQ(List(a, "/TmpDisc/owned"), std::vector<std::string>{"inner"});
  EXPECT_EQ(List(b, "/TmpDisc/owned"), std::vector<std::string>{});
  ffs_set_current_directory(a, nullptr, nullptr);
}

TEST_F(TwoFileSystems, RemovingOneImageLeavesTheOtherMounted) {
  FileSystem& b = *img[1].fs;
  ASSERT_EQ(ffs_mkdir(b, "/TmpDisc/kept", 0x1C0), 0);
  ASSERT_EQ(ffs_remove_volume(*img[0].fs, "TmpDisc"), 0);
  EXPECT_EQ(ffs_find_volume(*img[0].fs, "TmpDisc"), nullptr);
  EXPECT_NE(ffs_find_volume(b, "TmpDisc"), nullptr);
  EXPECT_EQ(List(b, "/TmpDisc"), std::vector<std::string>{"kept"});
  // A file system destroyed with a volume still mounted commits it.
  img[1].fs.reset();
  img[1].fs = std::make_unique<FileSystem>();
  ASSERT_EQ(ffs_start(*img[1].fs), 0);
  ASSERT_EQ(img[1].flash.AddVolume(*img[1].fs, "TmpDisc"), 0);
  EXPECT_EQ(List(*img[1].fs, "/TmpDisc"), std::vector<std::string>{"kept"});
}

}  // namespace
