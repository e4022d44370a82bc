// Sector recycling on small volumes: when it is needed, how victims are
// scored and chosen, what a pass moves, when it commits before erasing, and
// the read-limit check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "ffs/ffs.h"
#include "ffs/nor/allocate.h"
#include "ffs/nor/commit.h"
#include "ffs/nor/format.h"
#include "ffs/nor/mount.h"
#include "ffs/nor/recycle.h"
#include "tests/ffs/nor/test_flash.h"

using namespace nor;
using namespace nortest;

namespace {

// 8 sectors of 8 KiB: 16 clusters of 512 bytes, one header cluster each.
class Recycling : public ::testing::Test {
 protected:
  Recycling() : f(8192, 8) {}

  std::unique_ptr<Volume> FormatAndMount() {
    f.EraseAll();
    EXPECT_TRUE(FormatVolume(&f.record)) << ffs_errno();
    std::unique_ptr<Volume> v = Mount(&f.record, kMountNoReclaim);
    EXPECT_NE(v, nullptr) << ffs_errno();
    return v;
  }
  NodeSlot* NewInode(Volume& v) {
    NodeSlot* inode = TakeSlot(v);
    EXPECT_NE(inode, nullptr);
    inode->kind = SlotKind::Inode;
    inode->links = 1;
    inode->serial = v.next_serial++;
    ForgetNodeBytes(v);  // a slot set here, not through the file layer's count
    return inode;
  }
  // Appends a cluster filled with `fill`, written to the flash at once.
  uint32_t Grow(Volume& v, NodeSlot* inode, uint8_t fill) {
    CacheEntry* e = AllocateCluster(v, inode);
    EXPECT_NE(e, nullptr) << ffs_errno();
    if (!e) return kNone32;
    std::memset(e->buffer.data(), fill, e->buffer.size());
    inode->size += f.geo.cluster_size;
    const uint32_t c = e->cluster;
    v.cache->Release(e, false);
    EXPECT_GE(v.cache->Flush(), 0);
    return c;
  }
  // Every data cluster of the sector becomes dirty (as if superseded and
  // committed since).
  static void Garbage(Volume& v, uint32_t sector) {
    for (uint32_t c = v.geo.FirstDataCluster(sector); c <= v.geo.LastCluster(sector); ++c) {
      v.clusters[c] = ClusterEntry{kChainEnd, kStateDirty};
    }
    v.SetFreeList([&] {
      std::vector<uint16_t> kept;
      for (uint16_t c : v.FreeList()) {
        if (v.geo.SectorOf(c) != sector) kept.push_back(c);
      }
      return kept;
    }());
  }

  TestFlash f;
};

}  // namespace

TEST_F(Recycling, NeededAtOneSectorOfFreeClustersEvenWhenTheReserveIsMet) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  // One checkpoint cluster with 9 x 1 < F clusters left in its area: the
  // checkpoint needs no room, the reserve is 2 (nothing queued).
  v->recycle_queue[0] = kNone32;
  ASSERT_EQ(v->checkpoint_clusters, 1u);
  ASSERT_NE(v->cursor, kNone32);
  EXPECT_EQ(RecyclingReserve(*v), 2u);
  v->free_count = 17;
  EXPECT_FALSE(RecyclingNeeded(*v));
  v->free_count = 16;  // P
  EXPECT_TRUE(RecyclingNeeded(*v));
  // Without a cursor the next checkpoint needs 3 x K = 3 clusters: one
  // sector's worth (15) + 2, plus the used clusters of a queued sector.
  v->cursor = kNone32;
  EXPECT_EQ(RecyclingReserve(*v), 17u);
  v->recycle_queue[0] = 3;
  v->sectors[3].used = 5;
  EXPECT_EQ(RecyclingReserve(*v), 22u);
  v->free_count = 22;
  EXPECT_TRUE(RecyclingNeeded(*v));
  v->free_count = 23;
  EXPECT_FALSE(RecyclingNeeded(*v));
}

TEST_F(Recycling, ScoresCountAFlaggedEmptySectorAsOneUsedCluster) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  v->max_erase = 20;
  v->sectors[2] = SectorEntry{20, 0, 0, 0};
  // Space only: (16 - 0) x 1 x 16 - 20 + 20.
  EXPECT_EQ(VictimScore(*v, 2, kChooseSpaceOnly), 256);
  v->sectors[2].flags = kSectorStale;
  EXPECT_EQ(VictimScore(*v, 2, kChooseSpaceOnly), 240);
  // Wear-aware: 240 + reads 7, or 7 + (20 + 8 - 20) x 2 = 23.
  v->sectors[2].read_count = 7;
  EXPECT_EQ(VictimScore(*v, 2, kChooseWearAware), 247);
  // 15 erases behind the maximum: 0x10000 more; the read limit another one.
  v->sectors[2].erase_count = 5;
  EXPECT_EQ(VictimScore(*v, 2, kChooseWearAware), 240 + 15 + 7 + 0x10000);
  v->sectors[2].read_count = f.record.read_limit;
  EXPECT_EQ(VictimScore(*v, 2, kChooseWearAware), 240 + 15 + int64_t(f.record.read_limit) + 0x20000);
  // The second form wins for a full sector lagging behind: 2 x (20 + 15 x 8 - 5).
  v->sectors[3] = SectorEntry{5, 0, 15, 0};
  EXPECT_EQ(VictimScore(*v, 3, kChooseSpaceOnly), 16 - 5 + 20);
  EXPECT_EQ(VictimScore(*v, 3, kChooseWearAware), std::max<int64_t>(31 + 0x10000, 2 * (20 + 120 - 5)));
  // Each pass of a run weighs free space more.
  v->recycle_passes = 2;
  v->sectors[2] = SectorEntry{20, 0, 0, 0};
  EXPECT_EQ(VictimScore(*v, 2, kChooseSpaceOnly), 16 * 3 * 16);
}

TEST_F(Recycling, EqualScoresQueueTheLowerSectorAndNoCandidateTakesTheFreeHead) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  const uint32_t cp = f.geo.SectorOf(v->checkpoint_first);
  // Mount found no candidate: the free head's sector was queued and left the list.
  const uint32_t queued = v->recycle_queue[0];
  ASSERT_LT(queued, 8u);
  EXPECT_NE(f.geo.SectorOf(v->free_head), queued);
  EXPECT_EQ(v->clusters[f.geo.LastCluster(queued)].state, kStateDirty);
  // Two equal garbage sectors: the lower one is chosen.
  std::vector<uint32_t> garbage;
  for (uint32_t s = 7; s > 0 && garbage.size() < 2; --s) {
    if (s != cp && s != queued && s != f.geo.SectorOf(v->free_head)) garbage.push_back(s);
  }
  ASSERT_EQ(garbage.size(), 2u);
  for (uint32_t s : garbage) Garbage(*v, s);
  v->sectors[queued].erase_count = 1;  // scores lower than the two
  v->max_erase = 1;
  for (uint32_t s : garbage) v->sectors[s].erase_count = 1;
  ChooseVictims(*v, kChooseSpaceOnly);
  EXPECT_EQ(v->recycle_queue[0], std::min(queued, std::min(garbage[0], garbage[1])));
  // An offer replaces a queued sector only with a strictly greater score.
  v->recycle_queue[0] = garbage[1];
  OfferSector(*v, garbage[0]);
  EXPECT_EQ(v->recycle_queue[0], garbage[1]);
  v->sectors[garbage[1]].used = 3;
  OfferSector(*v, garbage[0]);
  EXPECT_EQ(v->recycle_queue[0], garbage[0]);
  // Sectors on the free list or holding the checkpoint are never offered.
  v->sectors[garbage[0]].used = 15;
  OfferSector(*v, cp);
  OfferSector(*v, f.geo.SectorOf(v->free_tail));
  EXPECT_EQ(v->recycle_queue[0], garbage[0]);
}

TEST_F(Recycling, ASupersededVictimIsCommittedBeforeItsErase) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* keep = NewInode(*v);
  NodeSlot* gone = NewInode(*v);
  // Fill the free head's sector: two clusters kept, the rest released later.
  const uint32_t first = Grow(*v, keep, 0xA1);
  Grow(*v, keep, 0xA2);
  const uint32_t sector = f.geo.SectorOf(first);
  while (f.geo.SectorOf(v->free_head) == sector) Grow(*v, gone, 0xB0);
  ASSERT_TRUE(Commit(*v, 1));
  const uint32_t committed = v->sequence;
  v->ReleaseChain(gone->first_cluster);  // superseded after the checkpoint
  gone->first_cluster = gone->last_cluster = kNoCluster;
  EXPECT_NE(v->sectors[sector].flags & kSectorStale, 0);
  v->recycle_queue[0] = sector;
  f.ResetCounters();
  ASSERT_EQ(Recycle(*v, false), 0) << ffs_errno();
  ASSERT_FALSE(f.erased.empty());
  EXPECT_EQ(f.erased[0], sector);
  // The commit (its start bit) came before the erase of the victim.
  EXPECT_GT(v->sequence, committed);
  bool start_before_erase = false;
  for (uint32_t a : f.programmed) {
    if (a % 8192 < 2) start_before_erase = true;  // a checkpoint-start bit
    if (a == sector * 8192 + 508) break;           // the victim's signature zeroed
  }
  EXPECT_TRUE(start_before_erase);
  // The kept chain moved and reads the same.
  ASSERT_NE(f.geo.SectorOf(keep->first_cluster), sector);
  EXPECT_EQ(f.Cluster(keep->first_cluster)[0], 0xA1);
  EXPECT_EQ(f.Cluster(keep->last_cluster)[511], 0xA2);
  EXPECT_EQ(v->clusters[keep->first_cluster].link, keep->last_cluster);
  EXPECT_EQ(v->sectors[sector].erase_count, 1u);
  // It mounts with the moved data.
  v.reset();
  v = Mount(&f.record, kMountNoReclaim);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->used_clusters, 2u);
}

TEST_F(Recycling, AVictimWithoutSupersededClustersIsErasedWithoutACommit) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  const uint32_t queued = v->recycle_queue[0];  // garbage since the mount took it
  ASSERT_LT(queued, 8u);
  ASSERT_EQ(v->sectors[queued].flags & kSectorStale, 0);
  const uint32_t sequence = v->sequence;
  f.ResetCounters();
  ASSERT_EQ(Recycle(*v, false), 0) << ffs_errno();  // a run makes at least one pass
  EXPECT_EQ(f.erased.front(), queued);
  EXPECT_EQ(v->sequence, sequence);  // no checkpoint was written
  EXPECT_EQ(f.write_calls, 0u);
  EXPECT_EQ(v->clusters[f.geo.LastCluster(queued)].state, kStateFree);
  EXPECT_EQ(v->free_tail, f.geo.LastCluster(queued));
}

TEST_F(Recycling, ReadLimitMovesTheSectorsDataAndResetsItsCount) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* inode = NewInode(*v);
  NodeSlot* other = NewInode(*v);
  const uint32_t c = Grow(*v, inode, 0x5A);
  const uint32_t sector = f.geo.SectorOf(c);
  while (f.geo.SectorOf(v->free_head) == sector) Grow(*v, other, 0x33);  // off the free list
  ASSERT_TRUE(Commit(*v, 1));
  v->sectors[sector].read_count = f.record.read_limit;
  ASSERT_TRUE(ReadCheck(*v)) << ffs_errno();
  EXPECT_NE(inode->first_cluster, c);
  EXPECT_NE(f.geo.SectorOf(inode->first_cluster), sector);
  EXPECT_EQ(f.Cluster(inode->first_cluster)[100], 0x5A);
  EXPECT_EQ(v->sectors[sector].read_count, 0u);
  EXPECT_EQ(v->sectors[sector].erase_count, 1u);
  for (const SectorEntry& s : v->sectors) EXPECT_LT(s.read_count, f.record.read_limit);
}

TEST_F(Recycling, GarbageSectorsAreErasedAtMountWhenSpaceWasLost) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* inode = NewInode(*v);
  while (v->free_count > 17) Grow(*v, inode, 0x11);  // fills most sectors
  ASSERT_TRUE(Commit(*v, 1));
  v->ReleaseChain(inode->first_cluster);
  inode->first_cluster = inode->last_cluster = kNoCluster;
  ASSERT_TRUE(Commit(*v, 1));
  // Written after that checkpoint and never committed: mount must find it.
  CacheEntry* e = AllocateCluster(*v, inode);
  ASSERT_NE(e, nullptr);
  v->cache->Release(e, false);
  ASSERT_GE(v->cache->Flush(), 0);
  v.reset();
  f.ResetCounters();
  v = Mount(&f.record, kMountNoReclaim);
  ASSERT_TRUE(v) << ffs_errno();
  EXPECT_FALSE(f.erased.empty());  // garbage sectors erased while space was short
  EXPECT_GT(v->free_count, f.geo.clusters_per_sector);
  for (uint16_t c : v->FreeList()) {
    bool erased = false;
    ASSERT_TRUE(v->IsClusterErased(c, erased));
    EXPECT_TRUE(erased) << c;
  }
}

TEST_F(Recycling, APassCutShortIsAdoptedAtMount) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* inode = NewInode(*v);
  std::vector<uint32_t> chain;
  uint8_t fill = 1;
  while (v->free_count > 22) chain.push_back(Grow(*v, inode, fill++));
  // The sector the first mount queued is recycled; from then on the queue
  // holds one of the file's full sectors.
  ASSERT_TRUE(Commit(*v, 1));
  ASSERT_EQ(Recycle(*v, false), 0) << ffs_errno();
  while (v->free_count > 19) chain.push_back(Grow(*v, inode, fill++));
  // The recorded free head must lie behind live data of its own sector.
  while (v->free_head % 16 < 4) chain.push_back(Grow(*v, inode, fill++));
  ASSERT_TRUE(Commit(*v, 1));
  const uint32_t head = v->free_head;
  const uint32_t victim = v->recycle_queue[0];
  ASSERT_LT(victim, 8u);
  ASSERT_EQ(v->sectors[victim].used, 15u);
  const uint32_t first_live = f.geo.FirstDataCluster(victim);
  // A pass copied the victim's first two live clusters to the free head and
  // was cut while copying the third (half of its bits programmed).
  ASSERT_TRUE(v->SetCleanMark());
  v.reset();
  std::memcpy(f.Cluster(head), f.Cluster(first_live), 512);
  std::memcpy(f.Cluster(head + 1), f.Cluster(first_live + 1), 512);
  for (uint32_t i = 0; i < 256; ++i) f.Cluster(head + 2)[i] = f.Cluster(first_live + 2)[i];
  std::vector<uint8_t> expected;
  for (uint32_t c : chain) expected.insert(expected.end(), f.Cluster(c), f.Cluster(c) + 512);
  v = Mount(&f.record, kMountReclaim);
  ASSERT_TRUE(v) << ffs_errno();
  // The copies took the live clusters' places and the victim was erased.
  EXPECT_EQ(v->clusters[head].state == kStateChainStart || v->clusters[head].state < kStateUnusable, true);
  EXPECT_EQ(v->clusters[head].link, head + 1);
  EXPECT_EQ(v->clusters[head + 1].link, head + 2);
  EXPECT_EQ(v->sectors[victim].erase_count, 1u);
  std::vector<uint8_t> got;
  inode = &v->nodes.pages[0]->slots[2];
  ASSERT_EQ(inode->kind, SlotKind::Inode);
  for (uint32_t c = inode->first_cluster, n = 0; c < f.geo.cluster_count && n < 200; c = v->clusters[c].link, ++n) {
    got.insert(got.end(), f.Cluster(c), f.Cluster(c) + 512);
  }
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
  // And it mounts again with the same data.
  v.reset();
  v = Mount(&f.record, kMountNoReclaim);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->used_clusters, chain.size());
}
