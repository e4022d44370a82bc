// The sector manager's volume-control entry through the file system's
// registration: mount by name, a second mount, erase all.
#include <gtest/gtest.h>

#include <cstring>

#include "ffs/file_system.h"
#include "ffs/ffs.h"
#include "ffs/nor/nor.h"
#include "ffs/nor/volume.h"
#include "ffs/volume_table.h"
#include "tests/ffs/nor/image_builder.h"

using namespace nortest;

namespace {

class VolumeControlTest : public ::testing::Test {
 protected:
  VolumeControlTest() : f(4096, 6) {}
  void SetUp() override {
    ASSERT_EQ(ffs_start(), 0);
    VolumeDescriptor d = f.Descriptor("NorCtl");
    ASSERT_EQ(ffs_add_volume(&d), 0);
    record = ffs_find_volume("NorCtl");
    ASSERT_NE(record, nullptr);
  }
  void TearDown() override {
    if (record && record->nor) nor_unmount(record, 0);
    ffs_remove_volume("NorCtl");
  }
  TestFlash f;
  VolumeRecord* record = nullptr;
};

}  // namespace

TEST_F(VolumeControlTest, MountByNameAndASecondMountDoesNothing) {
  WriteFreshImage(f, 5);
  void* out = nullptr;
  std::intptr_t answer = nor_volume_control(ffs_default().volumes, FFS_MOD_MOUNT, "NorCtl", &out, 0, 1);
  ASSERT_EQ(answer, reinterpret_cast<std::intptr_t>(record));
  EXPECT_EQ(out, record);
  ASSERT_NE(record->nor, nullptr);
  EXPECT_EQ(record->nor->sequence, 5u);
  EXPECT_STREQ(record->nor->nodes.Root()->name, "NorCtl");  // named like the volume
  EXPECT_EQ(record->flags & FFS_VF_BUSY, 0u);
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_MOUNT, "NorCtl", &out, 0, 1), 0);
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_MOUNT, "Other", &out, 0, 1), 0);
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_ERASE_ALL, "NorCtl", nullptr, 0, 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_EINVAL);  // erase all refuses a mounted volume
  EXPECT_EQ(nor_unmount(record, 0), 0);
  EXPECT_EQ(record->nor, nullptr);
}

TEST_F(VolumeControlTest, FailedMountLeavesNothingMounted) {
  void* out = nullptr;
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_MOUNT, "NorCtl", &out, 0, 1), -1);
  EXPECT_EQ(ffs_errno(), FFS_EINVAL);
  EXPECT_EQ(record->nor, nullptr);
  EXPECT_EQ(record->flags & FFS_VF_BUSY, 0u);
  // A busy volume is passed over.
  record->flags |= FFS_VF_BUSY;
  WriteFreshImage(f, 1);
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_MOUNT, "NorCtl", &out, 0, 1), 0);
  record->flags &= ~FFS_VF_BUSY;
}

TEST_F(VolumeControlTest, EraseAllKeepsCountingErases) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(f.geo, 5, 3);
  m.prelude.header.max_erase = 4;
  m.prelude.erase_counts = {4, 2, 4, 4, 4, 4};
  WriteCheckpoint(f, m, f.geo.FirstDataCluster(5));
  f.Cluster(9)[0] = 0;
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_ERASE_ALL, "NorCtl", nullptr, 0, 0), 1);
  EXPECT_EQ(f.erase_calls, 6u);
  EXPECT_EQ(f.Cluster(9)[0], 0xFF);
  for (uint32_t s = 0; s < 6; ++s) {
    EXPECT_EQ(0, std::memcmp(&f.mem[s * 4096 + 508], "QM13", 4)) << s;
  }
  // No checkpoint remains: a second erase all has nothing to go by.
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_ERASE_ALL, "NorCtl", nullptr, 0, 0), -1);
  record->flags |= FFS_VF_READ_ONLY;
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_ERASE_ALL, "NorCtl", nullptr, 0, 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_EROFS);
  record->flags &= ~FFS_VF_READ_ONLY;
}

TEST_F(VolumeControlTest, SyncAllCommitsChangedVolumesOnly) {
  WriteFreshImage(f, 5);
  void* out = nullptr;
  ASSERT_NE(nor_volume_control(ffs_default().volumes, FFS_MOD_MOUNT, "NorCtl", &out, 0, 1), 0);
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_SYNC_ALL, nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(record->nor->sequence, 5u);  // committed: nothing to do
  record->flags &= ~FFS_VF_COMMITTED;
  record->flags |= FFS_VF_CHANGED;
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_SYNC_ALL, nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(record->nor->sequence, 6u);
  EXPECT_NE(record->flags & FFS_VF_COMMITTED, 0u);
  record->flags |= FFS_VF_CHANGED;  // a change the file layer made to the node table
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_SYNC_ALL, nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(record->nor->sequence, 7u);
  EXPECT_EQ(record->flags & FFS_VF_CHANGED, 0u);
}

TEST_F(VolumeControlTest, FormatByName) {
  f.EraseAll();
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_FORMAT, "Other", nullptr, 0, 0), 0);
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_FORMAT, "NorCtl", nullptr, 0, 0), 1);
  EXPECT_EQ(record->nor, nullptr);  // a blank volume is not left mounted
  EXPECT_EQ(record->flags & FFS_VF_BUSY, 0u);
  void* out = nullptr;
  ASSERT_NE(nor_volume_control(ffs_default().volumes, FFS_MOD_MOUNT, "NorCtl", &out, 0, 1), -1);
  EXPECT_EQ(record->nor->sequence, 1u);
  record->flags |= FFS_VF_READ_ONLY;
  EXPECT_EQ(nor_volume_control(ffs_default().volumes, FFS_MOD_FORMAT, "NorCtl", nullptr, 0, 0), -1);
  EXPECT_EQ(ffs_errno(), FFS_EROFS);
  record->flags &= ~FFS_VF_READ_ONLY;
}
