// The write path: cluster cache, copy-on-write, allocation, node slots,
// commit, format and unmount, seen through the flash they leave behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "ffs/dispatcher.h"
#include "ffs/file_control_block.h"
#include "ffs/ffs.h"
#include "ffs/nor/allocate.h"
#include "ffs/nor/commit.h"
#include "ffs/nor/format.h"
#include "ffs/nor/list_words.h"
#include "ffs/nor/mount.h"
#include "ffs/nor/nor.h"
#include "tests/ffs/nor/image_builder.h"

using namespace nor;
using namespace nortest;

namespace {

class WritePath : public ::testing::Test {
 protected:
  WritePath() : f(4096, 6) {}

  std::unique_ptr<Volume> FormatAndMount() {
    f.EraseAll();
    EXPECT_TRUE(FormatVolume(&f.record)) << ffs_errno();
    std::unique_ptr<Volume> v = Mount(&f.record, kMountReclaim);
    EXPECT_NE(v, nullptr) << ffs_errno();
    return v;
  }
  // A file entry in the root with its inode record.
  NodeSlot* NewFile(Volume& v, const char* name) {
    NodeSlot* inode = TakeSlot(v);
    NodeSlot* entry = TakeSlot(v);
    EXPECT_TRUE(inode && entry);
    inode->kind = SlotKind::Inode;
    inode->links = 1;
    inode->serial = v.next_serial++;
    entry->kind = SlotKind::File;
    entry->inode = inode;
    entry->parent = v.nodes.Root();
    entry->next = v.nodes.Root()->child;
    if (entry->next) entry->next->prev = entry;
    v.nodes.Root()->child = entry;
    v.names.StoreString(&entry->name, name, uint32_t(std::strlen(name)));
    ForgetNodeBytes(v);  // slots set here, not through the file layer's count
    return inode;
  }
  // Appends a cluster filled with `fill` to the inode's chain.
  uint32_t Grow(Volume& v, NodeSlot* inode, uint8_t fill) {
    EXPECT_EQ(PrepareAllocation(v, 0, inode), 0);
    CacheEntry* e = AllocateCluster(v, inode);
    EXPECT_NE(e, nullptr);
    if (!e) return kNone32;
    std::memset(e->buffer.data(), fill, e->buffer.size());
    inode->size += f.geo.cluster_size;
    const uint32_t c = e->cluster;
    v.cache->Release(e, false);
    return c;
  }
  std::vector<uint16_t> Chain(const Volume& v, uint32_t first) {
    std::vector<uint16_t> chain;
    for (uint32_t c = first; c < f.geo.cluster_count && chain.size() < 100; c = v.clusters[c].link) {
      chain.push_back(uint16_t(c));
    }
    return chain;
  }

  TestFlash f;
};

}  // namespace

TEST_F(WritePath, FormatOfABlankImage) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  for (uint32_t s = 0; s < 6; ++s) {
    EXPECT_EQ(0, std::memcmp(&f.mem[s * 4096 + 508], "QM13", 4)) << s;
    EXPECT_EQ(v->sectors[s].erase_count, 0u) << s;
  }
  EXPECT_EQ(v->max_erase, 0u);
  EXPECT_EQ(v->sequence, 1u);
  EXPECT_EQ(v->next_serial, 1u);
  // Mount queues the free head's sector 1 for recycling: nothing else is a
  // candidate yet.
  EXPECT_EQ(v->free_count, 28u);
  EXPECT_EQ(v->checkpoint_first, 1u);  // the first whole free sector
  EXPECT_EQ(v->cursor, 2u);
  EXPECT_EQ(v->recycle_queue[0], 1u);
  EXPECT_EQ(v->free_head, 17u);
  for (uint16_t c : v->FreeList()) {
    bool erased = false;
    v->IsClusterErased(c, erased);
    EXPECT_TRUE(erased) << c;
  }
  NodeSlot* root = v->nodes.Root();
  EXPECT_STREQ(root->name, "TmpDisc");
  EXPECT_EQ(root->child, nullptr);
  ASSERT_NE(root->inode, nullptr);
  EXPECT_EQ(root->inode->serial, 0u);
  EXPECT_EQ(root->inode->mode, 7);
  EXPECT_EQ(root->inode->links, 1);
  EXPECT_EQ(root->inode->first_cluster, kNoCluster);
  EXPECT_EQ(v->nodes.free_slots, 18u);
}

TEST_F(WritePath, FormattingAgainKeepsEraseCounts) {
  FormatAndMount().reset();
  ASSERT_TRUE(Mount(&f.record, kMountNoReclaim)) << ffs_errno();
  f.ResetCounters();
  ASSERT_TRUE(FormatVolume(&f.record));  // mounts, reformats, frees
  EXPECT_EQ(f.erased, std::vector<uint32_t>{0});
  std::unique_ptr<Volume> v = Mount(&f.record, kMountNoReclaim);
  ASSERT_TRUE(v);
  // The in-place checkpoint, the first one of the new volume, the final commit.
  EXPECT_EQ(v->sequence, 4u);
  // Sector 0 held the old checkpoint and the in-place one: erased once.
  EXPECT_EQ(v->sectors[0].erase_count, 1u);
  EXPECT_EQ(v->sectors[1].erase_count, 0u);
  EXPECT_EQ(v->max_erase, 1u);
  EXPECT_EQ(v->checkpoint_first, 10u);
  // Free list: the least erased sectors first, the noted one last.
  std::vector<uint32_t> order;
  for (uint16_t c : v->FreeList()) {
    if (order.empty() || order.back() != f.geo.SectorOf(c)) order.push_back(f.geo.SectorOf(c));
  }
  // (sector 2, the free head's, is queued for recycling by the mount)
  EXPECT_EQ(order, (std::vector<uint32_t>{3, 4, 5, 0}));
  v.reset();
  ASSERT_TRUE(FormatVolume(&f.record));
  v = Mount(&f.record, kMountNoReclaim);
  ASSERT_TRUE(v);
  uint32_t total = 0;
  for (const SectorEntry& s : v->sectors) total += s.erase_count;
  EXPECT_EQ(total, 2u);  // never reset: sector 1 erased in its turn
  EXPECT_EQ(v->sectors[0].erase_count, 1u);
}

TEST_F(WritePath, ReadOnlyVolumeIsNotFormatted) {
  f.record.flags |= FFS_VF_READ_ONLY;
  EXPECT_FALSE(FormatVolume(&f.record));
  EXPECT_EQ(ffs_errno(), FFS_EROFS);
  EXPECT_EQ(f.write_calls + f.erase_calls + f.program_calls, 0u);
}

TEST_F(WritePath, FirstDataWriteAfterACommitSetsTheCleanMarkFirst) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* inode = NewFile(*v, "a");
  const uint32_t c = Grow(*v, inode, 0x5A);
  const uint32_t mark = f.geo.ClusterAddress(v->checkpoint_last) + 511;
  f.ResetCounters();
  EXPECT_EQ(v->cache->Flush(), 1);
  ASSERT_EQ(f.events.size(), 2u);
  EXPECT_EQ(f.events[0], mark);  // exactly one byte programmed before the data
  EXPECT_EQ(f.events[1], f.geo.ClusterAddress(c) | TestFlash::kBlockWrite);
  EXPECT_EQ(f.mem[mark], 0x00);
  EXPECT_FALSE(v->clean);
  EXPECT_EQ(f.Cluster(c)[100], 0x5A);  // a new cluster is written in place
  EXPECT_EQ(Chain(*v, inode->first_cluster), std::vector<uint16_t>{uint16_t(c)});
  f.ResetCounters();
  Grow(*v, inode, 0x11);
  v->cache->Flush();
  EXPECT_EQ(f.program_calls, 0u);
}

TEST_F(WritePath, NewClustersOfASectorAreWrittenUpwards) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* inode = NewFile(*v, "a");
  const uint32_t a = Grow(*v, inode, 1);
  const uint32_t b = Grow(*v, inode, 2);
  const uint32_t c = Grow(*v, inode, 3);
  ASSERT_EQ(b, a + 1);
  f.ResetCounters();
  // Evicting the newest first still writes the earlier clusters before it.
  v->cache->Flush();
  std::vector<uint32_t> writes;
  for (uint32_t e : f.events) {
    if (e & TestFlash::kBlockWrite) writes.push_back(f.geo.SectorOf((e & ~TestFlash::kBlockWrite) / 512) * 0 + (e & ~TestFlash::kBlockWrite) / 512);
  }
  EXPECT_EQ(writes, (std::vector<uint32_t>{a, b, c}));
}

TEST_F(WritePath, RewriteGoesToTheFreeHeadAndLeavesTheOldCopyDirty) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* inode = NewFile(*v, "a");
  const uint32_t a = Grow(*v, inode, 1), b = Grow(*v, inode, 2), c = Grow(*v, inode, 3);
  ASSERT_EQ(Sync(*v, 1), 0);
  FileControlBlock* block = ffs_fcb(3);
  block->handler = ffs_dispatch;
  block->volume = &f.record;
  block->position.cluster = b;
  block->saved.cluster = b;
  const uint32_t free_before = v->free_count;
  const uint32_t head = v->free_head;
  CacheEntry* e = v->cache->Get(b, false, inode);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->buffer[0], 2);
  e->buffer[0] = 0x77;
  v->cache->Release(e, true);
  EXPECT_EQ(v->free_count, free_before - 1);  // reserved at once
  EXPECT_EQ(v->cache->Flush(), 1);
  EXPECT_EQ(v->free_count, free_before - 1);  // not twice
  EXPECT_EQ(v->clusters[b].state, kStateDirty);
  EXPECT_NE(v->sectors[f.geo.SectorOf(b)].flags & kSectorStale, 0);
  EXPECT_EQ(Chain(*v, inode->first_cluster), (std::vector<uint16_t>{uint16_t(a), uint16_t(head), uint16_t(c)}));
  EXPECT_EQ(v->clusters[c].state, head);
  EXPECT_EQ(f.Cluster(head)[0], 0x77);
  EXPECT_EQ(f.Cluster(b)[0], 2);  // the old copy is untouched on flash
  EXPECT_EQ(block->position.cluster, head);
  EXPECT_EQ(block->saved.cluster, head);
  ffs_fcb_reset(block, FFS_KIND_FILE);
  // Rewriting the first and last cluster re-points the inode record.
  e = v->cache->Get(a, false, inode);
  v->cache->Release(e, true);
  e = v->cache->Get(c, false, inode);
  v->cache->Release(e, true);
  v->cache->Flush();
  EXPECT_NE(inode->first_cluster, a);
  EXPECT_NE(inode->last_cluster, c);
  EXPECT_EQ(Chain(*v, inode->first_cluster).back(), inode->last_cluster);
}

TEST_F(WritePath, TheLastFreeClusterIsNeverUsedForData) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* inode = NewFile(*v, "a");
  const uint32_t a = Grow(*v, inode, 1);
  v->cache->Flush();
  // Cut the free list down to one cluster.
  v->free_head = v->free_tail;
  v->free_count = 1;
  CacheEntry* e = v->cache->Get(a, false, inode);
  v->cache->Release(e, true);
  EXPECT_EQ(v->cache->Flush(), -1);
  EXPECT_EQ(ffs_errno(), FFS_ENOSPC);
  EXPECT_EQ(v->clusters[a].state, kStateChainStart);
  EXPECT_EQ(AllocateCluster(*v, inode), nullptr);
}

TEST_F(WritePath, CommitWithoutChangesStillWritesANewCheckpoint) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  const uint32_t old_first = v->checkpoint_first;
  ASSERT_TRUE(Commit(*v, 1));
  EXPECT_EQ(v->sequence, 2u);
  EXPECT_EQ(v->clusters[old_first].state, kStateDirty);
  EXPECT_EQ(v->checkpoint_first, old_first + 1);  // next cluster of the area
  EXPECT_EQ(f.mem[f.geo.ClusterAddress(old_first) + 511], 0x00);  // old clean mark set
  v = Mount(&f.record, kMountNoReclaim);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sequence, 2u);
  EXPECT_TRUE(v->clean);
}

TEST_F(WritePath, ContentEndingOnAClusterEndGetsAnExtraClusterForTheCleanMark) {
  // Content grows by one byte per name character: find the file count and
  // name length that end the checkpoint exactly on a cluster end.
  auto trial = [&](int files, uint32_t len) {
    std::unique_ptr<Volume> v = FormatAndMount();
    NewFile(*v, std::string(len, 'q').c_str());
    for (int i = 0; i < files; ++i) NewFile(*v, ("file" + std::to_string(i)).c_str());
    v->estimated_length = EstimateCheckpointLength(*v);
    EXPECT_TRUE(Commit(*v, 1));
    return v;
  };
  for (int files = 8; files < 16; ++files) {
    const uint32_t base = trial(files, 1)->stream_length;
    const uint32_t len = 1 + (512 - base % 512) % 512;
    if (len > 63) continue;
    std::unique_ptr<Volume> v = trial(files, len);
    ASSERT_EQ(v->stream_length % 512, 0u);
    EXPECT_EQ(v->checkpoint_clusters, v->stream_length / 512 + 1);
    // The content's last byte is the 0xFF of the closing 0xFFFC.
    EXPECT_EQ(f.Cluster(v->checkpoint_last - 1)[511], 0xFF);
    EXPECT_EQ(f.Cluster(v->checkpoint_last - 1)[510], 0xFC);
    const uint8_t* extra = f.Cluster(v->checkpoint_last);
    EXPECT_EQ(std::vector<uint8_t>(extra, extra + 512), std::vector<uint8_t>(512, 0xFF));
    ASSERT_TRUE(v->SetCleanMark());
    const uint32_t slots = v->nodes.slot_count();
    v = Mount(&f.record, kMountNoReclaim);
    ASSERT_NE(v, nullptr) << "the clean mark corrupted the checkpoint";
    EXPECT_FALSE(v->clean);
    EXPECT_EQ(v->nodes.slot_count(), slots);
    return;
  }
  FAIL() << "no file count and name length ended the checkpoint on a cluster end";
}

TEST_F(WritePath, TablesSurviveUnmountAndMount) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* one = NewFile(*v, "one");
  NodeSlot* two = NewFile(*v, std::string(40, 't').c_str());
  Grow(*v, one, 1);
  Grow(*v, two, 2);
  Grow(*v, one, 3);
  one->size = 1000;
  one->tail_cluster = one->last_cluster;
  one->tail_fill = 1000 - 512;
  v->estimated_length = EstimateCheckpointLength(*v);
  ASSERT_EQ(Sync(*v, 1), 0);
  auto snapshot = [](const Volume& x) {
    std::string s;
    for (const ClusterEntry& c : x.clusters) s += std::to_string(c.state) + "/" + std::to_string(c.link) + " ";
    for (const SectorEntry& e : x.sectors) {
      s += std::to_string(e.erase_count) + "," + std::to_string(e.read_count) + "," +
           std::to_string(e.used) + "," + std::to_string(e.flags) + " ";
    }
    for (const auto& page : x.nodes.pages) {
      for (const NodeSlot& slot : page->slots) {
        VectorSink sink;
        WriteSlot(sink, x.geo, ToRecord(slot));
        s += std::string(sink.data.begin(), sink.data.end()) + "|";
      }
    }
    for (uint32_t n : {x.sequence, x.next_serial, x.free_head, x.free_tail, x.free_count, x.max_erase,
                       x.cursor, x.checkpoint_first, x.checkpoint_last, x.checkpoint_clusters,
                       x.used_clusters, x.estimated_length, uint32_t(x.clean)}) {
      s += std::to_string(n) + " ";
    }
    return s;
  };
  const std::string before = snapshot(*v);
  f.record.nor = v.release();
  ASSERT_EQ(nor_unmount(&f.record, 0), 0);
  v = Mount(&f.record, kMountReclaim);
  ASSERT_TRUE(v);
  EXPECT_EQ(snapshot(*v), before);
  EXPECT_EQ(v->used_clusters, 3u);
}

TEST_F(WritePath, UnmountWithCommitWritesAFinalCheckpoint) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* one = NewFile(*v, "one");
  Grow(*v, one, 9);
  f.record.nor = v.release();
  ASSERT_EQ(nor_unmount(&f.record, 1), 0);
  EXPECT_EQ(f.record.nor, nullptr);
  v = Mount(&f.record, kMountReclaim);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sequence, 2u);
  ASSERT_NE(v->nodes.Root()->child, nullptr);
  EXPECT_STREQ(v->nodes.Root()->child->name, "one");
  NodeSlot* inode = v->nodes.Root()->child->inode;
  ASSERT_NE(inode, nullptr);
  EXPECT_EQ(f.Cluster(inode->first_cluster)[3], 9);
}

TEST_F(WritePath, FormatOfAMountedVolumeLeavesItMountedAndEmpty) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* one = NewFile(*v, "one");
  Grow(*v, one, 1);
  ASSERT_EQ(Sync(*v, 1), 0);
  f.record.nor = v.release();
  ASSERT_TRUE(FormatVolume(&f.record));
  ASSERT_NE(f.record.nor, nullptr);
  Volume& m = *f.record.nor;
  EXPECT_EQ(m.nodes.Root()->child, nullptr);
  EXPECT_EQ(m.nodes.slot_count(), 20u);
  EXPECT_EQ(m.nodes.free_slots, 18u);
  EXPECT_EQ(m.used_clusters, 0u);
  EXPECT_EQ(m.sequence, 4u);
  nor_unmount(&f.record, 0);
  v = Mount(&f.record, kMountNoReclaim);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->nodes.Root()->child, nullptr);
  EXPECT_EQ(v->free_count, 28u);  // one sector queued
}

TEST_F(WritePath, CacheHashAndReuse) {
  EXPECT_EQ(ClusterCache::Hash(0, 10), 321043u % 10);
  EXPECT_EQ(ClusterCache::Hash(7, 10), (7u * 19823 + 321043) % 10);
  EXPECT_EQ(ClusterCache::Hash(65530, 7), uint32_t((65530ull * 19823 + 321043) % 7));
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  ASSERT_EQ(v->cache->size(), 10u);
  std::vector<CacheEntry*> held;
  for (uint32_t c = 9; c < 19; ++c) {
    if (f.geo.IsHeader(c)) continue;
    held.push_back(v->cache->Get(c, false, nullptr));
  }
  for (uint32_t c = 25; held.size() < 10; ++c) held.push_back(v->cache->Get(c, false, nullptr));
  EXPECT_EQ(v->cache->Get(40, false, nullptr), nullptr);  // every entry in use
  EXPECT_EQ(ffs_errno(), FFS_EBUSY);
  EXPECT_EQ(v->cache->Get(9, false, nullptr), held[0]);  // a hit needs no free entry
  v->cache->Release(held[0], false);
  v->cache->Release(held[0], false);
  v->cache->Release(held[3], false);
  v->cache->Release(held[1], false);
  // The entry released longest ago is reused first.
  EXPECT_EQ(v->cache->Get(40, false, nullptr), held[0]);
  EXPECT_EQ(v->cache->Get(41, false, nullptr), held[3]);
}

TEST_F(WritePath, NodeSlotsGrowAndCompact) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  std::vector<NodeSlot*> inodes;
  for (int i = 0; i < 25; ++i) inodes.push_back(NewFile(*v, ("f" + std::to_string(i)).c_str()));
  EXPECT_EQ(v->nodes.slot_count(), 60u);  // 2 + 50 slots over three pages
  EXPECT_EQ(v->nodes.free_slots, 8u);
  EXPECT_EQ(v->nodes.pages[2]->number, 2u);
  auto remove = [&](int i) {
    NodeSlot* entry = nullptr;
    for (NodeSlot* e = v->nodes.Root()->child; e; e = e->next) {
      if (e->inode == inodes[size_t(i)]) entry = e;
    }
    ASSERT_NE(entry, nullptr);
    if (entry->prev) entry->prev->next = entry->next;
    if (entry->next) entry->next->prev = entry->prev;
    if (v->nodes.Root()->child == entry) v->nodes.Root()->child = entry->next;
    ReleaseSlot(*v, *entry, /*listing_open=*/true);
    ReleaseSlot(*v, *inodes[size_t(i)], true);
  };
  for (int i = 9; i < 18; ++i) remove(i);  // page 1 keeps only f18
  for (int i = 0; i < 4; ++i) remove(i);
  EXPECT_EQ(v->nodes.free_slots, 34u);
  EXPECT_EQ(v->nodes.pages.size(), 3u);  // a listing is open: nothing moves
  ReleaseSlot(*v, *TakeSlot(*v), false);
  ASSERT_EQ(v->nodes.pages.size(), 2u);
  EXPECT_EQ(v->nodes.slot_count(), 40u);
  EXPECT_EQ(v->nodes.free_slots, 14u);
  EXPECT_EQ(v->nodes.pages[1]->number, 1u);
  // f18 moved into page 0; every reference to it follows.
  int found = 0;
  for (NodeSlot* e = v->nodes.Root()->child; e; e = e->next) {
    ASSERT_NE(e->inode, nullptr);
    EXPECT_EQ(e->inode->kind, SlotKind::Inode);
    EXPECT_EQ(e->parent, v->nodes.Root());
    if (std::string(e->name) == "f18") {
      ++found;
      EXPECT_EQ(e->page->number, 0u);
      EXPECT_EQ(e->inode->serial, 19u);
    }
    if (e->next) {
      EXPECT_EQ(e->next->prev, e);
    }
  }
  EXPECT_EQ(found, 1);
  // The table still writes and mounts.
  ASSERT_EQ(Sync(*v, 1), 0);
  v = Mount(&f.record, kMountNoReclaim);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->nodes.slot_count(), 40u);
}

// The estimate counts the content without encoding it: it must agree with
// the encoded content to the byte, whatever the node table, the chains
// (runs, jumps, chains over a header) and the free list (cut by unusable
// sectors) look like.
TEST_F(WritePath, TheEstimateIsTheEncodedContentPlusItsAllowance) {
  auto encoded = [](const Volume& v) {
    const uint32_t n =
        uint32_t(BuildContent(v, v.sequence + 1, v.cursor, v.FreeList(), CollectChains(v)).size());
    return n + SpanAllowance(v.geo, n);
  };
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::unique_ptr<Volume> v = FormatAndMount();
    ASSERT_TRUE(v);
    std::vector<NodeSlot*> inodes;
    unsigned r = seed;
    auto next = [&r](unsigned n) { r = r * 1103515245u + 12345u; return (r >> 16) % n; };
    for (int step = 0; step < 60; ++step) {
      const unsigned op = next(10);
      if (op < 3 || inodes.empty()) {
        inodes.push_back(NewFile(*v, std::string(1 + next(64), char('a' + step % 26)).c_str()));
      } else if (op < 9) {
        NodeSlot* inode = inodes[next(unsigned(inodes.size()))];
        if (PrepareAllocation(*v, 0, inode) != 0) continue;
        if (CacheEntry* e = AllocateCluster(*v, inode)) v->cache->Release(e, false);
      } else {
        ASSERT_EQ(Sync(*v, 1), 0) << ffs_errno();
      }
      ASSERT_EQ(EstimateCheckpointLength(*v), encoded(*v)) << seed << " " << step;
      for (uint32_t sector = 0; sector < f.geo.sector_count; ++sector) {
        v->sectors[sector].flags ^= kSectorUnusable;
        ASSERT_EQ(EstimateCheckpointLength(*v), encoded(*v)) << seed << " " << step << " " << sector;
        v->sectors[sector].flags ^= kSectorUnusable;
      }
    }
  }
}

TEST_F(WritePath, FreeClustersForFileData) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  ASSERT_EQ(v->checkpoint_clusters, 1u);
  // One queued sector: A = ceil((48 - 8 - 6) / 7) = 5, B = 1,
  // R = (1 + 1 + 1) * 7 + 0 + 0 + 1 = 22.
  ASSERT_EQ(v->recycle_queue[0], 1u);
  v->estimated_length = 100;
  EXPECT_EQ(FreeClustersForData(*v, 0), 20u);
  v->recycle_queue[0] = kNone32;
  // U = 42, A = ceil(42 / 7) = 6, reserve margin ceil(42 / 100) = 1.
  v->estimated_length = 100;  // B = 1: R = (1 + 0 + 1) * 7 + 0 + 0 + 1 = 15
  EXPECT_EQ(FreeClustersForData(*v, 0), 27u);
  v->estimated_length = 3000;  // B = 6: R = (3 + 1) * 7 + 1 = 29
  EXPECT_EQ(FreeClustersForData(*v, 0), 13u);
  EXPECT_EQ(FreeClustersForData(*v, 1024), 6u);  // B = 8: R = (4 + 1) * 7 + 1 = 36
  v->estimated_length = 20000;
  ffs_set_errno(0);
  EXPECT_EQ(FreeClustersForData(*v, 0), 0u);
  EXPECT_EQ(ffs_errno(), FFS_ENOSPC);
}

TEST_F(WritePath, DeviceFailures) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* inode = NewFile(*v, "a");
  Grow(*v, inode, 1);
  // A write answering exactly -1 fails with EIO but leaves the volume usable.
  f.fail_writes_after = f.write_calls;
  ffs_set_errno(0);
  EXPECT_EQ(v->cache->Flush(), -1);
  EXPECT_EQ(ffs_errno(), FFS_EIO);
  EXPECT_EQ(f.record.flags & FFS_VF_IO_ERROR, 0u);
  EXPECT_EQ(PrepareAllocation(*v, 0, inode), 0);
  // Any other failure marks the volume: no allocation until it is mounted again.
  f.fail_code = -5;
  Grow(*v, inode, 2);
  EXPECT_EQ(v->cache->Flush(), -1);
  EXPECT_NE(f.record.flags & FFS_VF_IO_ERROR, 0u);
  EXPECT_EQ(PrepareAllocation(*v, 0, inode), -1);
  EXPECT_EQ(ffs_errno(), FFS_EIO);
}

TEST_F(WritePath, AnEraseCutShortIsErasedAgainAtMount) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  f.fail_erases_after = f.erase_calls;
  f.fail_code = -3;
  EXPECT_FALSE(v->EraseSector(3));
  EXPECT_EQ(ffs_errno(), FFS_EIO);
  EXPECT_NE(f.record.flags & FFS_VF_IO_ERROR, 0u);
  const uint8_t zero[4] = {0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(&f.mem[3 * 4096 + 508], zero, 4));
  f.fail_erases_after = UINT32_MAX;
  f.ResetCounters();
  v = Mount(&f.record, kMountNoReclaim);
  ASSERT_TRUE(v);
  EXPECT_EQ(f.erased, std::vector<uint32_t>{3});
  EXPECT_EQ(0, std::memcmp(&f.mem[3 * 4096 + 508], "QM13", 4));
  EXPECT_EQ(v->sectors[3].erase_count, 1u);
}

// The free-list and chain word counts kept between recounts: over random
// growth, rewrites, cuts, releases, syncs and recycling, whenever the volume
// holds its counts they equal a full walk of its lists.
TEST_F(WritePath, TheKeptListWordCountsEqualAFullWalk) {
  int compared = 0;
  for (unsigned seed = 1; seed <= 8; ++seed) {
    std::unique_ptr<Volume> v = FormatAndMount();
    ASSERT_TRUE(v);
    std::vector<NodeSlot*> files;
    unsigned r = seed;
    auto next = [&r](unsigned n) { r = r * 1103515245u + 12345u; return (r >> 16) % n; };
    for (int step = 0; step < 400; ++step) {
      const unsigned op = next(12);
      NodeSlot* inode = files.empty() ? nullptr : files[next(unsigned(files.size()))];
      std::vector<uint16_t> chain = inode ? Chain(*v, inode->first_cluster) : std::vector<uint16_t>();
      if (op < 1 || !inode) {
        if (files.size() < 12) {
          files.push_back(NewFile(*v, ("f" + std::to_string(step)).c_str()));
        }
      } else if (op < 5) {  // grow by a cluster
        if (PrepareAllocation(*v, 0, inode) == 0) {
          if (CacheEntry* e = AllocateCluster(*v, inode)) v->cache->Release(e, false);
        }
      } else if (op < 8 && !chain.empty()) {  // rewrite a cluster: copy-on-write at write-back
        if (CacheEntry* e = v->cache->Get(chain[next(unsigned(chain.size()))], false, inode)) {
          e->buffer[0] ^= 0x5A;
          v->cache->Release(e, true);
        }
      } else if (op < 9 && !chain.empty() && v->cache->Flush() >= 0) {
        // Cut the chain behind a cluster, or release it (as the file layer
        // does: cached copies of the released clusters are forgotten first).
        chain = Chain(*v, inode->first_cluster);  // the flush may have moved rewritten clusters
        const size_t keep = next(unsigned(chain.size()));
        for (size_t i = keep + 1 < chain.size() ? keep + 1 : 0; i < chain.size(); ++i) v->cache->Forget(chain[i]);
        if (keep + 1 < chain.size()) {
          v->clusters[chain[keep]].link = kChainEnd;
          v->clusters[chain[keep + 1]].state = kStateChainStart;
          v->ReleaseChain(chain[keep + 1]);
          inode->last_cluster = uint16_t(chain[keep]);
        } else {
          v->ReleaseChain(chain[0]);
          inode->first_cluster = inode->last_cluster = kNoCluster;
        }
      } else if (op < 11) {
        Sync(*v, 1);  // commits, and recycles when space is short
      } else {
        v->cache->Flush();
      }
      const ListWords walked = CountListWords(*v);
      if (v->list_words.known) {
        ++compared;
        ASSERT_EQ(v->list_words.free_words, walked.free_words) << seed << " " << step << " " << op;
        ASSERT_EQ(v->list_words.chain_words, walked.chain_words) << seed << " " << step << " " << op;
      }
      v->estimated_length = CheckpointEstimate(*v);  // counts known again from here
      ASSERT_TRUE(v->list_words.known);
    }
  }
  EXPECT_GT(compared, 2000);
}

TEST_F(WritePath, AnUnusableSectorTurnsTheVolumeReadOnly) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* inode = NewFile(*v, "a");
  v->sectors[4].flags |= kSectorUnusable;
  EXPECT_EQ(PrepareAllocation(*v, 0, inode), -1);
  EXPECT_EQ(ffs_errno(), FFS_EIO);
  EXPECT_NE(f.record.flags & FFS_VF_READ_ONLY, 0u);
  EXPECT_FALSE(Commit(*v, 1));
}

TEST_F(WritePath, AllocationWhileTheCacheHoldsOnlyModifiedEntries) {
  std::unique_ptr<Volume> v = FormatAndMount();
  ASSERT_TRUE(v);
  NodeSlot* inode = NewFile(*v, "a");
  std::vector<uint32_t> clusters;
  for (int i = 0; i < 10; ++i) clusters.push_back(Grow(*v, inode, uint8_t(i)));
  ASSERT_EQ(Sync(*v, 1), 0);
  for (uint32_t c : clusters) {
    CacheEntry* e = v->cache->Get(c, false, inode);
    ASSERT_NE(e, nullptr);
    e->buffer[1] = 0xEE;
    v->cache->Release(e, true);
  }
  // The eviction writes the oldest entry back onto the free head; the new
  // cluster must be another one.
  CacheEntry* e = AllocateCluster(*v, inode);
  ASSERT_NE(e, nullptr);
  std::vector<uint16_t> chain = Chain(*v, inode->first_cluster);
  ASSERT_EQ(chain.size(), 11u);
  std::vector<uint16_t> sorted = chain;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
  EXPECT_EQ(chain.back(), e->cluster);
  EXPECT_EQ(v->clusters[e->cluster].state, chain[9]);
  EXPECT_EQ(f.Cluster(chain[0])[1], 0xEE);  // the first one was written back
  EXPECT_EQ(v->clusters[clusters[0]].state, kStateDirty);
  v->cache->Release(e, false);
  ASSERT_EQ(Sync(*v, 1), 0);
  v = Mount(&f.record, kMountNoReclaim);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->used_clusters, 11u);
}
