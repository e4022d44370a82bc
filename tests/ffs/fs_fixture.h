// A mounted in-memory volume "TmpDisc" (8 sectors of 64 KiB, 512-byte
// clusters) over the RAM sector services, or, for a fixture that asks for it,
// over the real sector manager on an in-memory flash; with helpers to write,
// read and list.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ffs/ffs.h"
#include "ffs/file_control_block.h"
#include "ffs/module_table.h"
#include "ffs/volume_table.h"
#include "tests/support/memory_flash.h"
#include "tests/support/ram_sector_services.h"

class FsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (OnFlash()) {
      ffs_start();
      flash = std::make_unique<testsupport::MemoryFlash>(65536, SectorCount());
      ASSERT_EQ(flash->AddFormattedVolume("TmpDisc"), 0) << ffs_errno();
    } else {
      sm = std::make_unique<testsupport::RamSectorServices>();
      ASSERT_EQ(sm->AddVolume("TmpDisc", 65536, SectorCount()), 0);
    }
    vol = ffs_find_volume("TmpDisc");
    ASSERT_NE(vol, nullptr);
  }
  virtual bool OnFlash() const { return false; }
  virtual std::uint32_t SectorCount() const { return 8; }
  void TearDown() override {
    for (int fd = 0; fd < FFS_FCB_COUNT; ++fd) {
      FileControlBlock* b = ffs_fcb(fd);
      if (b->handler == nullptr) continue;
      if (b->access & FFS_KIND_DIRECTORY) ffs_closedir(b);
      else ffs_close(fd);
    }
    ffs_set_owner(0, 0);
    ffs_set_current_directory(nullptr, nullptr);
    if (flash) ffs_remove_volume("TmpDisc");
  }

  static std::string Pattern(std::size_t n, unsigned seed = 1) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed * 7 + i / 512) & 0xFF);
    return s;
  }
  int Create(const std::string& path, int flags = FFS_O_WRONLY | FFS_O_CREAT) {
    return ffs_open(path.c_str(), flags, 0x1FF);
  }
  void WriteFile(const std::string& path, const std::string& data) {
    const int fd = Create(path, FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC);
    ASSERT_GE(fd, 0) << path << " errno " << ffs_errno();
    ASSERT_EQ(ffs_write(fd, data.data(), static_cast<std::uint32_t>(data.size())),
              static_cast<int>(data.size()));
    ASSERT_EQ(ffs_close(fd), 0);
  }
  std::string ReadFile(const std::string& path) {
    const int fd = ffs_open(path.c_str(), FFS_O_RDONLY, 0);
    EXPECT_GE(fd, 0) << path << " errno " << ffs_errno();
    if (fd < 0) return "<missing>";
    std::string out;
    char buf[700];
    int n;
    while ((n = ffs_read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    EXPECT_EQ(n, 0);
    EXPECT_EQ(ffs_close(fd), 0);
    return out;
  }
  std::vector<std::string> List(const std::string& path) {
    std::vector<std::string> names;
    FileControlBlock* d = ffs_opendir(path.c_str());
    EXPECT_NE(d, nullptr) << path << " errno " << ffs_errno();
    if (d == nullptr) return names;
    while (FfsDirent* e = ffs_readdir(d)) names.push_back(e->name);
    EXPECT_EQ(ffs_closedir(d), 0);
    return names;
  }
  nor::NodeSlot* InodeOf(int fd) {
    return static_cast<nor::NodeSlot*>(ffs_fcb(fd)->entry)->inode;
  }
  void ExpectError(int result, int error) {
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ffs_errno(), error);
  }

  std::unique_ptr<testsupport::RamSectorServices> sm;
  std::unique_ptr<testsupport::MemoryFlash> flash;
  VolumeRecord* vol = nullptr;
};
