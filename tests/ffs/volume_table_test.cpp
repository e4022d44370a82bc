// Volume registration: validation and its order, geometry, limits, semaphore
// names, and format / mount / removal by name through the module table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ffs/file_system.h"
#include "ffs/ffs.h"
#include "ffs/module_table.h"
#include "ffs/nor/nor.h"
#include "ffs/semaphore.h"
#include "ffs/volume_table.h"
#include "tests/ffs/semaphore_recorder.h"

namespace {

VolumeDescriptor Desc(const char* name, std::uint32_t sectorSize = 65536, std::uint32_t count = 64) {
  VolumeDescriptor d{};
  d.name = name;
  d.version = FFS_DESCRIPTOR_VERSION;
  d.sector_size = sectorSize;
  d.block_size = 512;
  d.sector_count = count;
  d.options = FFS_OPT_HOLD_ALLOWED;
  return d;
}

// Every registered volume's name, newest first.
std::vector<std::string> Registered() {
  std::vector<std::string> names;
  VolumeRecord* head = &ffs_default().volumes.head;
  for (VolumeRecord* v = head->all_next; v != head; v = v->all_next) names.push_back(v->name);
  return names;
}

// A module that mounts and formats registered volumes, standing in for the
// sector manager's mount in these tests; it sits before the volume control.
int g_formatAnswer = 1;
std::vector<std::string> g_mountRequests;
std::intptr_t FakeMountModule(FileSystem& fs, int command, const char* name, void* result, int mode, int lock) {
  if (command == FFS_MOD_MOUNT) {
    g_mountRequests.push_back(std::string(name) + "/" + std::to_string(mode) + "/" +
                              std::to_string(lock));
    VolumeRecord* v = ffs_find_volume(fs, name);
    if (v == nullptr) return 0;
    *static_cast<void**>(result) = v;
    return reinterpret_cast<std::intptr_t>(v);
  }
  if (command == FFS_MOD_FORMAT) return ffs_find_volume(fs, name) ? g_formatAnswer : 0;
  return 0;
}

std::vector<int> g_handlerCommands;
std::intptr_t RecordingHandler(FileControlBlock* block, int command, std::intptr_t a1,
                               std::intptr_t a2, std::intptr_t, std::intptr_t, std::intptr_t) {
  EXPECT_EQ(block, nullptr);
  auto* v = reinterpret_cast<VolumeRecord*>(a1);
  EXPECT_EQ(v, v->self);
  EXPECT_EQ(a2, 1);  // unmount with a final commit
  g_handlerCommands.push_back(command);
  return 0;
}

class VolumeTable : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_[0] = FsModuleTable[1];
    saved_[1] = FsModuleTable[2];
    FsModuleTable[1] = FakeMountModule;
    FsModuleTable[2] = ffs_nor_module;
    ffs_start();
    g_formatAnswer = 1;
    g_mountRequests.clear();
    g_handlerCommands.clear();
  }
  void TearDown() override {
    for (const std::string& name : Registered()) EXPECT_EQ(ffs_remove_volume(name.c_str()), 0);
    FsModuleTable[1] = saved_[0];
    FsModuleTable[2] = saved_[1];
  }
  FsModuleHandler saved_[2];
};

// The table must be exactly as before a failed registration.
void ExpectRefused(const VolumeDescriptor& d, int error) {
  const auto before = Registered();
  const auto count = ffs_default().volumes.volume_count;
  ffs_set_errno(0);
  EXPECT_EQ(ffs_add_volume(&d), -1) << d.name;
  EXPECT_EQ(ffs_errno(), error) << d.name;
  EXPECT_EQ(Registered(), before);
  EXPECT_EQ(ffs_default().volumes.volume_count, count);
}

TEST_F(VolumeTable, FourSectorsAreTheMinimum) {
  ExpectRefused(Desc("V", 65536, 3), FFS_EINVAL);
  const auto d = Desc("V", 65536, 4);
  EXPECT_EQ(ffs_add_volume(&d), 0);
  EXPECT_EQ(Registered(), std::vector<std::string>{"V"});
}

TEST_F(VolumeTable, DescriptorChecks) {
  auto d = Desc("V");
  d.sector_size = 1000;  // not a multiple of the block size
  ExpectRefused(d, FFS_EINVAL);
  d = Desc("V");
  d.options = 0x1000;
  ExpectRefused(d, FFS_EINVAL);
  d = Desc("V");
  d.block_size = 0;
  ExpectRefused(d, FFS_EINVAL);
  ExpectRefused(Desc("a*b"), FFS_EINVAL);
  ExpectRefused(Desc("a/b"), FFS_EINVAL);
  d = Desc("V");
  d.version = 5;
  ExpectRefused(d, FFS_EINVAL);
  ExpectRefused(Desc("\xF4\x90\x80\x80"), FFS_EINVAL);
}

TEST_F(VolumeTable, ChecksComeInOrder) {
  // The name check is the first: a bad name wins over a bad sector count.
  ExpectRefused(Desc("a*", 65536, 3), FFS_EINVAL);
  auto first = Desc("Same");
  ASSERT_EQ(ffs_add_volume(&first), 0);
  // A registered name wins over a name too long and a bad version.
  auto d = Desc("Same");
  d.version = 3;
  ExpectRefused(d, FFS_EEXIST);
  // A name too long is found before the version.
  const std::string longName(64, 'n');
  d = Desc(longName.c_str());
  d.version = 3;
  ExpectRefused(d, FFS_ENAMETOOLONG);
  const std::string longest(63, 'n');
  d = Desc(longest.c_str());
  EXPECT_EQ(ffs_add_volume(&d), 0);
}

TEST_F(VolumeTable, GeometryOfSixtyFourSectors) {
  auto d = Desc("V", 65536, 64);
  ASSERT_EQ(ffs_add_volume(&d), 0);
  VolumeRecord* v = ffs_find_volume("V");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->cluster_size, 512u);
  EXPECT_EQ(v->cluster_count, 8192u);
  EXPECT_EQ(v->clusters_per_sector, 128u);
  EXPECT_EQ(v->blocks_per_cluster, 1u);
  EXPECT_EQ(v->reserve_count, 6u);
  EXPECT_EQ(v->margin_factor, 1u);
  EXPECT_EQ(v->inode_size_estimate, 36u);
  EXPECT_EQ(v->read_limit, 1000000u);
  EXPECT_EQ(v->ref_count, 1u);
  EXPECT_EQ(v->cache_size, 10u);
  EXPECT_EQ(v->version, 4);
  EXPECT_EQ(v->flags, FFS_VF_HOLD_ALLOWED);
  EXPECT_EQ(v->self, v);
  EXPECT_NE(v->handler, nullptr);
  EXPECT_EQ(v->sector_size, 65536u);
  EXPECT_EQ(v->sector_count, 64u);
  EXPECT_EQ(v->block_size, 512u);
}

TEST_F(VolumeTable, GeometryHalvesTheClusterCountTwice) {
  auto d = Desc("V", 65536, 1024);
  ASSERT_EQ(ffs_add_volume(&d), 0);
  VolumeRecord* v = ffs_find_volume("V");
  EXPECT_EQ(v->cluster_size, 2048u);
  EXPECT_EQ(v->cluster_count, 32768u);
  EXPECT_EQ(v->clusters_per_sector, 32u);
  EXPECT_EQ(v->blocks_per_cluster, 4u);
  EXPECT_EQ(v->reserve_count, 102u);
  EXPECT_EQ(v->margin_factor, 1u);
}

TEST_F(VolumeTable, GeometryEdges) {
  // A full 32 MiB image of the new type: 1024-byte clusters.
  auto d = Desc("New", 131072, 256);
  ASSERT_EQ(ffs_add_volume(&d), 0);
  VolumeRecord* v = ffs_find_volume("New");
  EXPECT_EQ(v->cluster_size, 1024u);
  EXPECT_EQ(v->cluster_count, 32768u);
  EXPECT_EQ(v->clusters_per_sector, 128u);
  EXPECT_EQ(v->reserve_count, 25u);
  // One cluster per sector: margin (1 + 3) / 1.
  d = Desc("Tiny", 512, 4);
  ASSERT_EQ(ffs_add_volume(&d), 0);
  v = ffs_find_volume("Tiny");
  EXPECT_EQ(v->clusters_per_sector, 1u);
  EXPECT_EQ(v->margin_factor, 4u);
  EXPECT_EQ(v->reserve_count, 1u);
  // Reserve limited to a quarter of the cluster size: 2000 / 10 = 200 -> 128.
  d = Desc("Many", 512, 2000);
  ASSERT_EQ(ffs_add_volume(&d), 0);
  EXPECT_EQ(ffs_find_volume("Many")->reserve_count, 128u);
  // Clusters of 131072 bytes: the larger inode record estimate.
  d = Desc("Huge", 1u << 20, 4096);
  ASSERT_EQ(ffs_add_volume(&d), 0);
  v = ffs_find_volume("Huge");
  EXPECT_EQ(v->cluster_size, 131072u);
  EXPECT_EQ(v->cluster_count, 32768u);
  EXPECT_EQ(v->inode_size_estimate, 37u);
  // Clusters grown beyond the sector: refused, nothing left behind.
  ExpectRefused(Desc("Over", 512, 200000), FFS_EINVAL);
}

TEST_F(VolumeTable, OptionsBecomeFlags) {
  auto d = Desc("V");
  d.options = FFS_OPT_READ_ONLY | FFS_OPT_LOW_READ_LIMIT | FFS_OPT_HOLD_ALLOWED | FFS_OPT_400 |
              FFS_OPT_ERASE_HOOK | FFS_OPT_CACHE_SIZE;
  d.erase_hook_arg = 0x1234;
  d.cache_size = 4;
  ASSERT_EQ(ffs_add_volume(&d), 0);
  VolumeRecord* v = ffs_find_volume("V");
  EXPECT_EQ(v->flags, 0x2u | 0x8u | 0x2000u | 0x8000u);
  EXPECT_EQ(v->erase_hook_arg, 0x1234u);
  EXPECT_EQ(v->cache_size, 4u);
  d = Desc("W");
  d.options = FFS_OPT_CACHE_SIZE;
  d.cache_size = 20;
  d.erase_hook_arg = 7;  // ignored without option 0x10
  ASSERT_EQ(ffs_add_volume(&d), 0);
  EXPECT_EQ(ffs_find_volume("W")->cache_size, 10u);
  EXPECT_EQ(ffs_find_volume("W")->erase_hook_arg, 0u);
  EXPECT_EQ(ffs_find_volume("W")->volume_index, 1u);
}

TEST_F(VolumeTable, SixteenVolumesAtMost) {
  std::vector<std::string> names;
  for (int i = 0; i < 16; ++i) names.push_back("V" + std::to_string(i));
  for (const auto& n : names) {
    auto d = Desc(n.c_str());
    ASSERT_EQ(ffs_add_volume(&d), 0) << n;
  }
  ExpectRefused(Desc("V16"), FFS_ENOMEM);
  ASSERT_EQ(ffs_remove_volume("V3"), 0);
  auto d = Desc("V16");
  EXPECT_EQ(ffs_add_volume(&d), 0);
}

TEST_F(VolumeTable, SameNameTwice) {
  auto d = Desc("TmpDisc");
  ASSERT_EQ(ffs_add_volume(&d), 0);
  ExpectRefused(Desc("TmpDisc"), FFS_EEXIST);
  // Names compare exactly.
  auto other = Desc("tmpdisc");
  EXPECT_EQ(ffs_add_volume(&other), 0);
}

TEST_F(VolumeTable, MountByName) {
  auto d = Desc("TmpDisc");
  ASSERT_EQ(ffs_add_volume(&d), 0);
  ffs_set_errno(0);
  EXPECT_EQ(ffs_mount("Nothing"), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENOENT);
  EXPECT_EQ(ffs_mount("\\TmpDisc"), 0);
  EXPECT_EQ(ffs_mounted_head(), ffs_find_volume("TmpDisc"));
  EXPECT_EQ(g_mountRequests.back(), "TmpDisc/0/1");
  EXPECT_EQ(ffs_mount("/TmpDisc"), -1);
  EXPECT_EQ(ffs_errno(), FFS_EEXIST);
  EXPECT_EQ(ffs_mount("TmpDisc"), -1);
  EXPECT_EQ(ffs_errno(), FFS_EEXIST);
  // Only one leading separator is skipped.
  EXPECT_EQ(ffs_mount("//TmpDisc"), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENOENT);
  // Mount order is kept.
  auto second = Desc("Second");
  ASSERT_EQ(ffs_add_volume(&second), 0);
  ASSERT_EQ(ffs_mount("Second"), 0);
  EXPECT_EQ(ffs_mounted_head()->mount_next, ffs_find_volume("Second"));
  EXPECT_EQ(ffs_find_mounted(ffs_default(), "Second")->mount_prev, ffs_find_volume("TmpDisc"));
}

TEST_F(VolumeTable, NameLengthOfMountAndFormat) {
  const std::string at64(64, 'x');
  const std::string at65(65, 'x');
  using NameCall = int (*)(const char*);
  for (NameCall call : {NameCall(ffs_mount), NameCall(ffs_format)}) {
    ffs_set_errno(0);
    EXPECT_EQ(call(at65.c_str()), -1);
    EXPECT_EQ(ffs_errno(), FFS_ENAMETOOLONG);
    EXPECT_EQ(call(("/" + at64).c_str()), -1);
    EXPECT_EQ(ffs_errno(), FFS_ENOENT);  // long enough to ask the modules
  }
}

TEST_F(VolumeTable, FormatByName) {
  auto d = Desc("TmpDisc");
  ASSERT_EQ(ffs_add_volume(&d), 0);
  EXPECT_EQ(ffs_format("\\TmpDisc"), 0);
  g_formatAnswer = -1;
  EXPECT_EQ(ffs_format("TmpDisc"), -1);
  g_formatAnswer = 7;  // any other answer is handed back unchanged
  EXPECT_EQ(ffs_format("TmpDisc"), 7);
  ffs_set_errno(0);
  EXPECT_EQ(ffs_format("Unknown"), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENOENT);
}

TEST_F(VolumeTable, RemovalUnmountsFirst) {
  auto d = Desc("TmpDisc");
  ASSERT_EQ(ffs_add_volume(&d), 0);
  ffs_find_volume("TmpDisc")->handler = RecordingHandler;
  ASSERT_EQ(ffs_mount("TmpDisc"), 0);
  EXPECT_EQ(ffs_remove_volume("TmpDisc"), 0);
  EXPECT_EQ(g_handlerCommands, std::vector<int>{FFS_REQ_UNMOUNT});
  EXPECT_EQ(ffs_mounted_head(), nullptr);
  EXPECT_TRUE(Registered().empty());
  EXPECT_EQ(ffs_default().volumes.volume_count, 0u);
  ffs_set_errno(0);
  EXPECT_EQ(ffs_remove_volume("TmpDisc"), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENOENT);
  // A volume that was never mounted is removed without unmounting.
  ASSERT_EQ(ffs_add_volume(&d), 0);
  ffs_find_volume("TmpDisc")->handler = RecordingHandler;
  EXPECT_EQ(ffs_remove_volume("TmpDisc"), 0);
  EXPECT_EQ(g_handlerCommands.size(), 1u);
}

TEST_F(VolumeTable, UnmountKeepsTheVolumeRegistered) {
  auto d = Desc("TmpDisc");
  ASSERT_EQ(ffs_add_volume(&d), 0);
  ffs_find_volume("TmpDisc")->handler = RecordingHandler;
  ASSERT_EQ(ffs_mount("TmpDisc"), 0);
  EXPECT_EQ(ffs_unmount("TmpDisc"), 0);
  EXPECT_EQ(ffs_mounted_head(), nullptr);
  EXPECT_NE(ffs_find_volume("TmpDisc"), nullptr);
  EXPECT_EQ(ffs_unmount("TmpDisc"), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENXIO);
  EXPECT_EQ(ffs_mount("TmpDisc"), 0);
}

TEST_F(VolumeTable, MountOptionMountsAtOnce) {
  auto d = Desc("TmpDisc");
  d.options |= FFS_OPT_MOUNT;
  EXPECT_EQ(ffs_add_volume(&d), 0);
  EXPECT_EQ(ffs_mounted_head(), ffs_find_volume("TmpDisc"));
}

// Semaphores: names, counter, lock order, and nothing left behind on failure.
TEST_F(VolumeTable, SemaphoreNamesAndLockOrder) {
  SemaphoreRecorder rec;
  const std::uint32_t counter = ffs_default().volumes.semaphore_counter;
  auto d = Desc("TmpDisc");
  ASSERT_EQ(ffs_add_volume(&d), 0);
  char w[16], r[16];
  std::snprintf(w, sizeof w, "FFS_W%03u", counter);
  std::snprintf(r, sizeof r, "FFS_R%03u", counter);
  EXPECT_EQ(rec.Events(), (std::vector<std::string>{"wait fsys sem", "wait FFS_SEM",
                                                   std::string("create ") + w,
                                                   std::string("create ") + r,
                                                   "release FFS_SEM", "release fsys sem"}));
  rec.Clear();
  ASSERT_EQ(ffs_remove_volume("TmpDisc"), 0);
  EXPECT_EQ(rec.Events(), (std::vector<std::string>{"wait fsys sem", "wait FFS_SEM",
                                                   std::string("delete ") + w,
                                                   std::string("delete ") + r,
                                                   "release FFS_SEM", "release fsys sem"}));
}

TEST_F(VolumeTable, FailedRegistrationDeletesItsSemaphores) {
  SemaphoreRecorder rec;
  auto d = Desc("V");
  d.version = 3;
  ExpectRefused(d, FFS_EINVAL);
  EXPECT_EQ(rec.Created(), rec.Deleted());
  EXPECT_EQ(rec.Created(), 2);
}

TEST_F(VolumeTable, SemaphoreCounterWrapsAfter999) {
  auto d = Desc("V");
  while (ffs_default().volumes.semaphore_counter != 999) {
    ASSERT_EQ(ffs_add_volume(&d), 0);
    ASSERT_EQ(ffs_remove_volume("V"), 0);
  }
  SemaphoreRecorder rec;
  ASSERT_EQ(ffs_add_volume(&d), 0);
  ASSERT_EQ(ffs_remove_volume("V"), 0);
  ASSERT_EQ(ffs_add_volume(&d), 0);
  const auto events = rec.Events();
  EXPECT_NE(std::find(events.begin(), events.end(), "create FFS_W999"), events.end());
  EXPECT_NE(std::find(events.begin(), events.end(), "create FFS_R000"), events.end());
  EXPECT_EQ(ffs_default().volumes.semaphore_counter, 1u);
}

// The name check accepts exactly well-formed UTF-8.
TEST(NameCheck, Utf8Table) {
  struct Case {
    const char* bytes;
    bool ok;
  };
  const Case cases[] = {
      {"\x01", true}, {"\x7F", true}, {"\x80", false}, {"\xC1\x80", false},
      {"\xC2\x80", true}, {"\xDF\xBF", true}, {"\xC2\x7F", false}, {"\xC2\xC0", false},
      {"\xE0\xA0\x80", true}, {"\xE0\xBF\xBF", true}, {"\xE0\x9F\x80", false},
      {"\xE0\xC0\x80", false}, {"\xE1\x80\x80", true}, {"\xEC\xBF\xBF", true},
      {"\xE1\x7F\x80", false}, {"\xE1\x80\xC0", false}, {"\xED\x80\x80", true},
      {"\xED\x9F\xBF", true}, {"\xED\xA0\x80", false}, {"\xEE\x80\x80", true},
      {"\xEF\xBF\xBF", true}, {"\xEF\xBF\x7F", false}, {"\xF0\x90\x80\x80", true},
      {"\xF0\xBF\xBF\xBF", true}, {"\xF0\x8F\x80\x80", false}, {"\xF0\xC0\x80\x80", false},
      {"\xF1\x80\x80\x80", true}, {"\xF3\xBF\xBF\xBF", true}, {"\xF1\x7F\x80\x80", false},
      {"\xF1\x80\x80\xC0", false}, {"\xF4\x80\x80\x80", true}, {"\xF4\x8F\xBF\xBF", true},
      {"\xF4\x90\x80\x80", false}, {"\xF5\x80\x80\x80", false}, {"\xF8", false},
      {"\xFF", false}, {"\xC0\x80", false},
      // Sequences cut off by the end of the text.
      {"\xC2", false}, {"\xE1\x80", false}, {"\xF0\x90\x80", false}, {"a\xF4", false},
  };
  for (const Case& c : cases) {
    ffs_set_errno(0);
    EXPECT_EQ(ffs_check_name(c.bytes, false), c.ok ? 0 : -1) << testing::PrintToString(c.bytes);
    EXPECT_EQ(ffs_errno(), c.ok ? 0 : FFS_EINVAL);
  }
}

TEST(NameCheck, SlashesAndStars) {
  EXPECT_EQ(ffs_check_name("abc", false), 0);
  EXPECT_EQ(ffs_check_name("", false), 0);
  EXPECT_EQ(ffs_check_name("a*", false), -1);
  EXPECT_EQ(ffs_check_name("dir/", false), -1);
  EXPECT_EQ(ffs_check_name("dir//", true), 0);
  EXPECT_EQ(ffs_check_name("d/ir/", true), -1);
  EXPECT_EQ(ffs_check_name("*/", true), -1);
  EXPECT_EQ(ffs_check_name(nullptr, true), -1);
  EXPECT_EQ(ffs_check_name("\xC2/", true), -1);  // the slash does not complete a sequence
}

}  // namespace
