// Mount and recovery over images built with the encoders: signature scan,
// newest checkpoint, rebuilt tables, recovery after writes that no
// checkpoint recorded, renamed names, and malformed checkpoints.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ffs/ffs.h"
#include "ffs/nor/checkpoint_stream.h"
#include "ffs/nor/commit.h"
#include "ffs/nor/mount.h"
#include "ffs/nor/recovery.h"
#include "ffs/nor/sector_header.h"
#include "tests/ffs/nor/image_builder.h"

using namespace nor;
using namespace nortest;

namespace {

constexpr uint32_t kSectorSize = 4096;  // 8 clusters of 512 bytes, one header cluster
constexpr uint32_t kSectors = 6;

class MountTest : public ::testing::Test {
 protected:
  MountTest() : f(kSectorSize, kSectors) {}
  const Geometry& g() const { return f.geo; }

  // Without reclaiming, so that the tables show exactly what recovery did.
  std::unique_ptr<Volume> MountOk(int mode = kMountNoReclaim) {
    ffs_set_errno(0);
    std::unique_ptr<Volume> v = Mount(&f.record, mode);
    EXPECT_NE(v, nullptr) << "errno " << ffs_errno();
    return v;
  }
  int MountError() {
    ffs_set_errno(0);
    std::unique_ptr<Volume> v = Mount(&f.record, kMountReclaim);
    EXPECT_EQ(v, nullptr);
    return ffs_errno();
  }
  void ZeroSignature(uint32_t sector) {
    std::memset(&f.mem[g().SectorAddress(sector) + SignatureOffset(g())], 0, 4);
  }
  void Scribble(uint32_t cluster) { f.Cluster(cluster)[7] = 0x12; }
  void ClearCleanMark(const ClusterList& chain) {
    f.Cluster(chain.back())[g().cluster_size - 1] = 0x00;
  }
  static std::vector<uint16_t> Range(uint32_t from, uint32_t to) {
    std::vector<uint16_t> r;
    for (uint32_t c = from; c <= to; ++c) r.push_back(uint16_t(c));
    return r;
  }
  // Sector 4 holds only dirty clusters: it is the recycling candidate, so
  // the free head's sector stays on the free list.
  static void DirtySector4(CheckpointModel& m) {
    m.free_list = Concat({Range(1, 7), Range(9, 15), Range(17, 23), Range(25, 31)});
  }
  static std::vector<uint16_t> Concat(std::initializer_list<std::vector<uint16_t>> parts) {
    std::vector<uint16_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  }

  TestFlash f;
};

}  // namespace

TEST_F(MountTest, ErasedImageFailsWithEinval) {
  EXPECT_EQ(MountError(), FFS_EINVAL);
  EXPECT_EQ(f.program_calls + f.write_calls + f.erase_calls, 0u);
}

TEST_F(MountTest, FreshImageRebuildsTheTables) {
  WriteFreshImage(f, 1);
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sequence, 1u);
  EXPECT_STREQ(v->nodes.Root()->name, "TmpDisc");
  EXPECT_EQ(v->nodes.slot_count(), 20u);
  EXPECT_EQ(v->nodes.free_slots, 18u);
  EXPECT_EQ(v->nodes.Root()->inode, &v->nodes.pages[0]->slots[1]);
  EXPECT_TRUE(v->clean);
  // No sector is worth recycling: the free head's sector is queued instead
  // and leaves the free list (in RAM only).
  EXPECT_EQ(v->recycle_queue[0], 0u);
  EXPECT_EQ(v->clusters[1].state, kStateDirty);
  EXPECT_EQ(v->free_count, 4u * 7);
  EXPECT_EQ(v->free_head, 9u);
  EXPECT_EQ(v->free_tail, 39u);
  EXPECT_EQ(v->checkpoint_first, 41u);
  EXPECT_EQ(v->checkpoint_clusters, 1u);
  EXPECT_EQ(v->clusters[41].state, kStateChainStart);
  EXPECT_EQ(v->clusters[0].state, kStateUnusable);
  EXPECT_EQ(v->clusters[42].state, kStateDirty);
  EXPECT_EQ(v->clusters[15].state, kStateFree);
  EXPECT_EQ(v->clusters[15].link, 17u);
  EXPECT_EQ(v->sectors[5].flags & kSectorCheckpoint, kSectorCheckpoint);
  EXPECT_EQ(v->used_clusters, 0u);
  EXPECT_EQ(v->estimated_length, v->stream_length + SpanAllowance(v->geo, v->stream_length));
  EXPECT_NE(f.record.flags & FFS_VF_COMMITTED, 0u);
  EXPECT_EQ(f.program_calls + f.write_calls + f.erase_calls, 0u);  // a clean mount writes nothing
}

TEST_F(MountTest, SingleUnsignedSectorIsErasedAndSigned) {
  WriteFreshImage(f, 1);
  ZeroSignature(2);  // an erase cut short after the signature was zeroed
  f.Cluster(18)[0] = 0x00;
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(f.erase_calls, 1u);
  const uint8_t* sector = &f.mem[g().SectorAddress(2)];
  for (uint32_t i = 0; i < kSectorSize; ++i) {
    if (i >= SignatureOffset(g()) && i < SignatureOffset(g()) + 4) continue;
    ASSERT_EQ(sector[i], 0xFF) << i;
  }
  EXPECT_EQ(0, std::memcmp(sector + SignatureOffset(g()), "QM13", 4));
  EXPECT_EQ(v->sectors[2].erase_count, 1u);
  EXPECT_EQ(v->max_erase, 1u);
}

TEST_F(MountTest, TwoUnsignedSectorsFailWithoutTouchingTheFlash) {
  WriteFreshImage(f, 1);
  const std::vector<uint8_t> image = f.mem;
  ZeroSignature(0);
  ZeroSignature(1);
  EXPECT_EQ(MountError(), FFS_EINVAL);
  f.mem = image;
  ZeroSignature(0);
  ZeroSignature(3);
  EXPECT_EQ(MountError(), FFS_ENXIO);
  f.mem = image;
  ZeroSignature(2);
  ZeroSignature(4);
  const std::vector<uint8_t> before = f.mem;
  EXPECT_EQ(MountError(), FFS_ENXIO);
  EXPECT_EQ(f.mem, before);
}

TEST_F(MountTest, SignatureVersionsNineToThirteenAreAccepted) {
  WriteFreshImage(f, 1);
  std::memcpy(&f.mem[g().SectorAddress(1) + SignatureOffset(g())], "QM09", 4);
  EXPECT_TRUE(MountOk());
  std::memcpy(&f.mem[g().SectorAddress(3) + SignatureOffset(g())], "QM08", 4);
  std::unique_ptr<Volume> v = MountOk();  // a single unsigned sector: erased and signed
  EXPECT_EQ(f.erase_calls, 1u);
}

TEST_F(MountTest, NoCheckpointStartFailsWithEinval) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g(), 5, 1);
  WriteCheckpoint(f, m, g().FirstDataCluster(5), {}, /*mark_start=*/false);
  EXPECT_EQ(MountError(), FFS_EINVAL);
}

TEST_F(MountTest, NewestCheckpointWinsBySignedSequenceDifference) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel seven = FreshModel(g(), 5, 7);
  seven.free_list = Range(1, 7);
  WriteCheckpoint(f, seven, g().FirstDataCluster(5));
  CheckpointModel eight = FreshModel(g(), 4, 8);
  eight.free_list = Range(9, 15);
  WriteCheckpoint(f, eight, g().FirstDataCluster(4));
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sequence, 8u);
  EXPECT_EQ(v->free_head, 9u);

  // Across the wrap of the counter, 1 is newer than 0xFFFFFFFF.
  f.EraseAll();
  SignAll(f);
  CheckpointModel old = FreshModel(g(), 1, 0xFFFFFFFF);
  old.free_list = Range(17, 23);
  WriteCheckpoint(f, old, g().FirstDataCluster(1));
  CheckpointModel wrapped = FreshModel(g(), 3, 1);
  wrapped.free_list = Range(33, 39);
  WriteCheckpoint(f, wrapped, g().FirstDataCluster(3));
  v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sequence, 1u);
}

TEST_F(MountTest, UnfinishedCommitFallsBackAndDirtiesWhatWasWritten) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel seven = FreshModel(g(), 5, 7);
  DirtySector4(seven);  // free: sectors 0 to 3
  ClusterList chain7 = WriteCheckpoint(f, seven, g().FirstDataCluster(5));
  // After checkpoint 7: data written at the free head, then checkpoint 8
  // written into the whole free sector 3, its start bit never cleared.
  ClearCleanMark(chain7);
  Scribble(1);
  Scribble(2);
  CheckpointModel eight = FreshModel(g(), 3, 8);
  WriteCheckpoint(f, eight, g().FirstDataCluster(3), {}, /*mark_start=*/false);

  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sequence, 7u);
  EXPECT_FALSE(v->clean);
  EXPECT_EQ(v->clusters[1].state, kStateDirty);
  EXPECT_EQ(v->clusters[2].state, kStateDirty);
  EXPECT_EQ(v->clusters[25].state, kStateDirty);  // sector 3 left the list whole
  EXPECT_EQ(v->clusters[31].state, kStateDirty);
  EXPECT_EQ(v->FreeList(), Concat({Range(3, 7), Range(9, 15), Range(17, 23)}));
  EXPECT_EQ(v->free_count, 19u);
  EXPECT_EQ(v->free_head, 3u);
  EXPECT_EQ(v->free_tail, 23u);
  EXPECT_EQ(v->recycle_queue[0], 4u);

  // Once its start bit is cleared, checkpoint 8 is the newest.
  BitmapByte b = CheckpointStartByte(1, 0xFF);
  f.mem[g().SectorAddress(3) + b.offset] &= b.value;
  v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sequence, 8u);
}

TEST_F(MountTest, RepairIsCommittedWhenMountMayReclaim) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g(), 5, 7);
  DirtySector4(m);
  ClusterList chain = WriteCheckpoint(f, m, g().FirstDataCluster(5));
  ClearCleanMark(chain);
  Scribble(1);
  f.ResetCounters();
  std::unique_ptr<Volume> v = MountOk(kMountReclaim);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sequence, 8u);  // a new checkpoint records the repair
  EXPECT_TRUE(v->clean);
  EXPECT_GT(f.write_calls, 0u);
  EXPECT_EQ(v->clusters[1].state, kStateDirty);
  v.reset();
  v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sequence, 8u);
  EXPECT_TRUE(v->clean);
  EXPECT_EQ(v->free_head, 2u);
  EXPECT_EQ(v->clusters[1].state, kStateDirty);
}

TEST_F(MountTest, RepairErasesGarbageSectorsToMakeRoomForItsCommit) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g(), 5, 3);
  m.free_list = Range(3, 7);  // sectors 1 to 4 hold only dirty clusters
  ClusterList chain = WriteCheckpoint(f, m, g().FirstDataCluster(5));
  ClearCleanMark(chain);
  Scribble(3);
  f.ResetCounters();
  std::unique_ptr<Volume> v = MountOk(kMountReclaim);
  ASSERT_TRUE(v);
  // Sector 1 was queued; sectors 0 and 2 were erased as garbage while space
  // was short, and the repair then found room for its checkpoint.
  EXPECT_EQ(v->sequence, 4u);
  ASSERT_GE(f.erased.size(), 2u);
  EXPECT_EQ(f.erased[0], 0u);
  EXPECT_EQ(f.erased[1], 2u);
  for (uint16_t c : v->FreeList()) {
    bool erased = false;
    ASSERT_TRUE(v->IsClusterErased(c, erased));
    EXPECT_TRUE(erased) << c;
  }
  v.reset();
  v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sequence, 4u);
}

TEST_F(MountTest, CleanCheckpointSkipsTheFreeListCheck) {
  WriteFreshImage(f, 3);
  Scribble(20);  // not possible on a clean volume: shows that nothing is tested
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->clusters[20].state, kStateFree);
  EXPECT_EQ(v->free_count, 28u);  // sector 0 queued
}

TEST_F(MountTest, ErasedFirstClusterVouchesForItsSector) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g(), 5, 2);
  DirtySector4(m);
  ClusterList chain = WriteCheckpoint(f, m, g().FirstDataCluster(5));
  ClearCleanMark(chain);
  Scribble(1);   // head sector 0: its first cluster is written, so each is tested
  Scribble(3);
  Scribble(12);  // sector 1: its first cluster 9 is erased, so 12 is not tested
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->clusters[1].state, kStateDirty);
  EXPECT_EQ(v->clusters[2].state, kStateDirty);  // before the last written one
  EXPECT_EQ(v->clusters[3].state, kStateDirty);
  EXPECT_EQ(v->clusters[4].state, kStateFree);
  EXPECT_EQ(v->clusters[12].state, kStateFree);
  EXPECT_EQ(v->free_head, 4u);
}

TEST_F(MountTest, WrittenCheckpointAreaMovesTheCursorBehindIt) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g(), 5, 4);
  m.prelude.cursor = 43;
  ClusterList chain = WriteCheckpoint(f, m, g().FirstDataCluster(5));
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->cursor, 43u);  // clean: the area is trusted
  ClearCleanMark(chain);
  v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->cursor, 43u);  // not clean, but the area is erased
  Scribble(45);
  v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->cursor, 46u);  // a commit cut short: the area goes on behind it
  EXPECT_EQ(v->free_count, 28u);  // the free list itself was untouched (sector 0 queued)
  Scribble(47);
  v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->cursor, kNone32);  // written up to the sector's end
}

TEST_F(MountTest, LongNamesAreRenamedAgainstTheirSiblings) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g(), 5, 1);
  const std::string seventy(70, 'a');
  const std::string taken = std::string(59, 'a') + "_0000";
  const std::string starred = std::string(63, 'b') + "*";
  const std::string plain64(64, 'c');
  m.slots[0].child = MakeRef(0, 2);
  m.slots.push_back(FileEntry(seventy, MakeRef(0, 3), MakeRef(0, 0), MakeRef(0, 4)));
  m.slots.push_back(Inode(1));
  m.slots.push_back(FileEntry(taken, MakeRef(0, 3), MakeRef(0, 0), MakeRef(0, 5), MakeRef(0, 2)));
  m.slots.push_back(FileEntry(starred, MakeRef(0, 3), MakeRef(0, 0), MakeRef(0, 6), MakeRef(0, 4)));
  m.slots.push_back(FileEntry(plain64, MakeRef(0, 3), MakeRef(0, 0), kRefNone, MakeRef(0, 5)));
  WriteCheckpoint(f, m, g().FirstDataCluster(5));
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  NodeSlot* slots = v->nodes.pages[0]->slots.data();
  EXPECT_EQ(std::string(slots[2].name), std::string(59, 'a') + "_0001");
  EXPECT_EQ(std::string(slots[4].name), taken);
  EXPECT_EQ(std::string(slots[5].name), std::string(59, 'b') + "_0000");
  EXPECT_EQ(std::string(slots[6].name), plain64);
  EXPECT_EQ(slots[2].parent, &slots[0]);
  EXPECT_EQ(slots[4].prev, &slots[2]);
  EXPECT_EQ(v->nodes.Root()->child, &slots[2]);
}

TEST_F(MountTest, OddNamesAreKeptAsStored) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g(), 5, 1);
  m.slots[0].child = MakeRef(0, 2);
  m.slots.push_back(FileEntry("..", MakeRef(0, 1), MakeRef(0, 0), MakeRef(0, 3)));
  m.slots.push_back(FileEntry("a/b", MakeRef(0, 1), MakeRef(0, 0), MakeRef(0, 4), MakeRef(0, 2)));
  m.slots.push_back(FileEntry(".", MakeRef(0, 1), MakeRef(0, 0), kRefNone, MakeRef(0, 3)));
  WriteCheckpoint(f, m, g().FirstDataCluster(5));
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  NodeSlot* slots = v->nodes.pages[0]->slots.data();
  EXPECT_STREQ(slots[2].name, "..");
  EXPECT_STREQ(slots[3].name, "a/b");
  EXPECT_STREQ(slots[4].name, ".");
}

TEST_F(MountTest, ReferencesOfTheWrongKindReadAsNone) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g(), 5, 1);
  m.slots[0].child = MakeRef(0, 2);
  // parent names an inode record, next a page beyond the table.
  m.slots.push_back(FileEntry("f", MakeRef(0, 1), MakeRef(0, 1), MakeRef(7, 0)));
  m.slots.push_back(FileEntry("g", MakeRef(0, 1), MakeRef(0, 0), MakeRef(0, 25)));
  WriteCheckpoint(f, m, g().FirstDataCluster(5));
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  NodeSlot* slots = v->nodes.pages[0]->slots.data();
  EXPECT_EQ(slots[2].inode, &slots[1]);
  EXPECT_EQ(slots[2].parent, nullptr);
  EXPECT_EQ(slots[2].next, nullptr);
  EXPECT_EQ(slots[3].next, nullptr);  // slot 25 is beyond a page
  EXPECT_EQ(slots[3].parent, &slots[0]);
}

TEST_F(MountTest, UnlinkedFilesAreReclaimedWhenSpaceWasLost) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g(), 5, 1);
  m.free_list = Concat({Range(3, 7), Range(9, 15), Range(17, 23), Range(25, 31)});
  m.chains = {{1, 2}};
  m.slots.push_back(FileEntry("gone", MakeRef(0, 3), MakeRef(0, 0), kRefUnlinked, kRefUnlinked));
  SlotRecord inode = Inode(5, 1, 2, 1024);
  inode.links = 0;
  m.slots.push_back(inode);
  ClusterList chain = WriteCheckpoint(f, m, g().FirstDataCluster(5));
  {
    std::unique_ptr<Volume> v = MountOk();  // nothing lost: the entry stays
    ASSERT_TRUE(v);
    EXPECT_EQ(v->nodes.pages[0]->slots[2].kind, SlotKind::File);
    EXPECT_TRUE(v->nodes.pages[0]->slots[2].unlinked);
    EXPECT_EQ(v->used_clusters, 2u);
  }
  ClearCleanMark(chain);
  Scribble(3);
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->nodes.pages[0]->slots[2].kind, SlotKind::Free);
  EXPECT_EQ(v->nodes.pages[0]->slots[3].kind, SlotKind::Free);
  EXPECT_EQ(v->nodes.free_slots, 18u);
  EXPECT_EQ(v->clusters[1].state, kStateDirty);
  EXPECT_EQ(v->clusters[2].state, kStateDirty);
  EXPECT_EQ(v->sectors[0].used, 0u);
  EXPECT_EQ(v->sectors[0].flags & kSectorStale, kSectorStale);
  EXPECT_EQ(v->used_clusters, 0u);
  EXPECT_EQ(v->FreeList(), Concat({Range(4, 7), Range(9, 15), Range(17, 23), Range(25, 31)}));
}

TEST_F(MountTest, MalformedCheckpointsFailAndFreeEverything) {
  struct Case {
    const char* what;
    void (*change)(CheckpointModel&);
  };
  const Case cases[] = {
      {"free list overlaps a chain", [](CheckpointModel& m) { m.chains = {{1, 2}}; }},
      {"chain overlaps a header", [](CheckpointModel& m) { m.chains = {{40, 0}}; }},
      {"chains overlap", [](CheckpointModel& m) {
         m.free_list.clear();
         m.chains = {{1, 2}, {3, 2}};
       }},
      {"slot 0 is not a directory", [](CheckpointModel& m) { m.slots[0].kind = SlotKind::File; }},
      // Node tables the file layer could not walk.
  };
  for (const Case& c : cases) {
    f.EraseAll();
    SignAll(f);
    CheckpointModel m = FreshModel(g(), 5, 1);
    c.change(m);
    WriteCheckpoint(f, m, g().FirstDataCluster(5));
    EXPECT_EQ(MountError(), FFS_EINVAL) << c.what;
  }
}

TEST_F(MountTest, BadKindAndFormatMark) {
  WriteFreshImage(f, 1);
  const uint32_t first = g().FirstDataCluster(5);
  const uint32_t prelude = PreludeBytes(g());
  std::vector<uint8_t> image = f.mem;
  f.Cluster(first)[prelude] = 0x04;  // root slot's kind
  EXPECT_EQ(MountError(), FFS_EINVAL);
  f.mem = image;
  f.Cluster(first)[36 + (kSectors + 1) / 2 + 3] = 0x52;  // "RM13"
  EXPECT_EQ(MountError(), FFS_ENXIO);
  // A slot count of 2,000,000,000 (a multiple of 20) cannot fit the stream:
  // refused before any page is allocated for it.
  f.mem = image;
  const uint8_t huge[4] = {0x00, 0x94, 0x35, 0x77};
  std::memcpy(f.Cluster(first) + 8, huge, 4);
  EXPECT_EQ(MountError(), FFS_EINVAL);
}

TEST_F(MountTest, ReadFailureIsAnIoError) {
  WriteFreshImage(f, 1);
  f.fail_reads_after = 8;
  EXPECT_EQ(MountError(), FFS_EIO);
  EXPECT_NE(f.record.flags & FFS_VF_IO_ERROR, 0u);
}

TEST_F(MountTest, EraseCountsComeBackFromTheNibbles) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g(), 5, 1);
  m.prelude.header.max_erase = 40;
  m.prelude.erase_counts = {40, 39, 10, 25, 30, 40};
  m.prelude.read_counts = {0, 5, 0, 0, 0, 7};
  WriteCheckpoint(f, m, g().FirstDataCluster(5));
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->max_erase, 40u);
  EXPECT_EQ(v->sectors[0].erase_count, 40u);
  EXPECT_EQ(v->sectors[1].erase_count, 39u);
  EXPECT_EQ(v->sectors[2].erase_count, 25u);  // 30 below: kept as 15 below
  EXPECT_EQ(v->sectors[3].erase_count, 25u);
  EXPECT_EQ(v->sectors[4].erase_count, 30u);
  EXPECT_EQ(v->sectors[1].read_count, 5u);
  EXPECT_EQ(v->sectors[5].read_count, 7u);
}

TEST_F(MountTest, CheckpointSpanningTwoSectors) {
  f.EraseAll();
  SignAll(f);
  CheckpointModel m = FreshModel(g(), 5, 9);
  m.free_list = Concat({Range(1, 7), Range(9, 15), Range(17, 23), Range(25, 31)});
  for (int i = 0; i < 60; ++i) {  // enough names for more than 7 clusters
    m.slots.push_back(FileEntry(std::string(60, char('A' + i % 26)), MakeRef(0, 1), MakeRef(0, 0)));
  }
  ClusterList chain = WriteCheckpoint(f, m, g().FirstDataCluster(5), {4});
  ASSERT_GT(chain.size(), 7u);
  std::unique_ptr<Volume> v = MountOk();
  ASSERT_TRUE(v);
  EXPECT_EQ(v->checkpoint_clusters, chain.size());
  EXPECT_EQ(v->checkpoint_last, chain.back());
  EXPECT_NE(v->sectors[4].flags & kSectorCheckpoint, 0);
  EXPECT_NE(v->sectors[5].flags & kSectorCheckpoint, 0);
  EXPECT_EQ(v->nodes.slot_count(), 80u);
  EXPECT_EQ(std::string(v->nodes.pages[2]->slots[1].name), std::string(60, 'A' + 39 % 26));
}

namespace {

// A version 9 or 10 checkpoint written byte by byte: no read counts, no
// inode attribute word, no parent in file entries.
std::vector<uint8_t> OldContent(const Geometry& g, unsigned version) {
  VectorSink k;
  const uint32_t header[9] = {0, 6, 20, 3, 2, 1, 39, 35, 0};
  for (uint32_t h : header) PutU32(k, h);
  for (uint32_t i = 0; i < (g.sector_count + 1) / 2; ++i) PutU8(k, 0);
  const uint8_t mark[4] = {uint8_t('0' + version % 10), uint8_t('0' + version / 10), 'M', 'Q'};
  k.Put(mark, 4);
  PutU32(k, kNone32);  // cursor
  auto entry = [&](uint8_t kind, uint32_t next, uint32_t inode, uint32_t child, const char* name) {
    PutU8(k, kind);
    PutU32(k, next);
    PutU32(k, kRefNone);
    PutU32(k, inode);
    if (kind == 1) {
      PutU32(k, kRefNone);
      PutU32(k, child);
    }
    k.Put(reinterpret_cast<const uint8_t*>(name), std::strlen(name) + 1);
  };
  auto inode = [&](uint32_t serial) {
    PutU8(k, 2);
    std::vector<uint8_t> body(32, 0);
    body[12] = uint8_t(serial);
    body[20] = body[21] = body[22] = body[23] = 0xFF;  // no clusters
    body[30] = 1;                                      // link count
    k.Put(body.data(), body.size());
  };
  entry(1, kRefNone, MakeRef(0, 1), MakeRef(0, 2), "Old");
  inode(0);
  entry(3, kRefNone, MakeRef(0, 3), 0, "f");
  inode(1);
  for (int i = 0; i < 16; ++i) PutU8(k, 0);
  ClusterList free_list;
  for (uint32_t c = 1; c <= 39; ++c) {
    if (!g.IsHeader(c)) free_list.push_back(uint16_t(c));
  }
  WriteWords(k, EncodeFreeList(g, free_list, nullptr));
  WriteWords(k, EncodeChains(g, {{41}}));
  for (int i = 0; i < 4; ++i) k.data[size_t(i)] = uint8_t(k.data.size() >> (8 * i));  // its length
  return k.data;
}

}  // namespace

TEST_F(MountTest, OlderCheckpointVersions) {
  for (unsigned version : {9u, 10u}) {
    f.EraseAll();
    SignAll(f);
    std::vector<uint8_t> content = OldContent(g(), version);
    ASSERT_LE(content.size(), 510u);
    FlashIo io(f);
    StreamWriter w(g(), io, 41, [&](uint32_t) { return g().cluster_count; });
    ASSERT_TRUE(w.Put(content.data(), content.size()) && w.Finish());
    f.mem[g().SectorAddress(5)] &= CheckpointStartByte(1, 0xFF).value;
    Scribble(9);  // only a version 9 checkpoint lacks a trusted clean mark
    std::unique_ptr<Volume> v = MountOk();
    ASSERT_TRUE(v) << version;
    EXPECT_EQ(v->version, version);
    NodeSlot* slots = v->nodes.pages[0]->slots.data();
    EXPECT_EQ(std::string(slots[2].name), "f");
    EXPECT_EQ(slots[2].parent, &slots[0]);  // taken from the root's child list
    EXPECT_EQ(slots[2].inode, &slots[3]);
    EXPECT_EQ(slots[3].serial, 1u);
    EXPECT_EQ(slots[3].links, 1u);
    EXPECT_EQ(v->clean, version == 10);
    EXPECT_EQ(v->clusters[9].state, version == 10 ? kStateFree : kStateDirty);
  }
}
