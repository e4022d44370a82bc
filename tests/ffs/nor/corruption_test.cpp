// Corrupted images: bytes of a valid image changed at a fixed, seeded set of
// positions (mostly in headers and the checkpoint), each mounted under the
// sanitizers. Every mount must end cleanly: a volume whose free list matches
// its counters, or a failure with the error number set.
#include <gtest/gtest.h>

#include <random>

#include "ffs/ffs.h"
#include "ffs/nor/commit.h"
#include "ffs/nor/mount.h"
#include "tests/ffs/nor/image_builder.h"

using namespace nor;
using namespace nortest;

namespace {

// A volume with files, chains and a checkpoint spanning two sectors.
std::vector<uint32_t> BuildImage(TestFlash& f) {
  const Geometry& g = f.geo;
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g, 5, 12);
  m.free_list.clear();
  for (uint32_t c = 12; c <= 15; ++c) m.free_list.push_back(uint16_t(c));
  for (uint32_t c = 17; c <= 31; ++c) {
    if (c != 24) m.free_list.push_back(uint16_t(c));
  }
  m.chains = {{1, 2, 3, 9}, {4, 5, 6, 7, 10, 11}};
  m.slots[0].child = MakeRef(0, 2);
  m.slots.push_back(FileEntry("one", MakeRef(0, 3), MakeRef(0, 0), MakeRef(0, 4)));
  m.slots.push_back(Inode(1, 1, 9, 2000));
  m.slots.push_back(DirEntry("sub", MakeRef(0, 5), MakeRef(0, 0), kRefNone, MakeRef(0, 2),
                             MakeRef(0, 6)));
  m.slots.push_back(Inode(2));
  m.slots.push_back(FileEntry(std::string(70, 'z'), MakeRef(0, 7), MakeRef(0, 4)));
  m.slots.push_back(Inode(3, 4, 11, 3000));
  for (int i = 0; i < 40; ++i) {
    m.slots.push_back(FileEntry("pad" + std::to_string(i), MakeRef(0, 5), MakeRef(0, 4)));
  }
  ClusterList chain = WriteCheckpoint(f, m, g.FirstDataCluster(5) + 5, {4});
  std::vector<uint32_t> hot;  // header and checkpoint bytes
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    for (uint32_t i = 0; i < 16; ++i) hot.push_back(g.SectorAddress(s) + i);
    for (uint32_t i = 500; i < 512; ++i) hot.push_back(g.SectorAddress(s) + i);
  }
  for (uint16_t c : chain) {
    for (uint32_t i = 0; i < g.cluster_size; ++i) hot.push_back(g.ClusterAddress(c) + i);
  }
  return hot;
}

void CheckOutcome(TestFlash& f, const std::string& what) {
  ffs_set_errno(0);
  f.record.flags = 0;
  std::unique_ptr<Volume> v = Mount(&f.record, kMountReclaim);
  if (v) {
    EXPECT_EQ(v->FreeList().size(), v->free_count) << what;
    EXPECT_NE(v->nodes.Root(), nullptr) << what;
    // Whatever mount accepted can be committed and mounted again.
    if (Sync(*v, 1) == 0) {
      v = Mount(&f.record, kMountNoReclaim);
      EXPECT_NE(v, nullptr) << what << " after a commit, errno " << ffs_errno();
    }
  } else {
    const int e = ffs_errno();
    EXPECT_TRUE(e == FFS_EINVAL || e == FFS_ENXIO || e == FFS_EIO || e == FFS_ENOSPC)
        << what << " errno " << e;
  }
}

}  // namespace

TEST(Corruption, ValidImageMounts) {
  TestFlash f(4096, 6);
  BuildImage(f);
  std::unique_ptr<Volume> v = Mount(&f.record, kMountNoReclaim);
  ASSERT_NE(v, nullptr) << ffs_errno();
  EXPECT_EQ(v->used_clusters, 10u);
  EXPECT_EQ(v->checkpoint_clusters, 3u);  // clusters 46 and 47, then sector 4
  EXPECT_EQ(v->checkpoint_last, 33u);
}

TEST(Corruption, FlippedBytesNeverCrashOrHang) {
  TestFlash f(4096, 6);
  const std::vector<uint32_t> hot = BuildImage(f);
  const std::vector<uint8_t> image = f.mem;
  std::mt19937 rng(20261207);
  for (int round = 0; round < 3000; ++round) {
    f.mem = image;
    const int changes = 1 + int(rng() % 3);
    std::string what = "round " + std::to_string(round) + ":";
    for (int k = 0; k < changes; ++k) {
      const uint32_t at = (rng() % 10 < 8) ? hot[rng() % hot.size()] : uint32_t(rng() % f.mem.size());
      const uint8_t value = (rng() % 4 == 0) ? uint8_t(rng()) : uint8_t(f.mem[at] ^ (1u << (rng() % 8)));
      f.mem[at] = value;
      what += " " + std::to_string(at) + "=" + std::to_string(value);
    }
    CheckOutcome(f, what);
    if (HasFailure()) break;
  }
}
