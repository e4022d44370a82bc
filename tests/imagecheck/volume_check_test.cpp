// The volume check on a mounted sample image whose RAM state each test
// breaks in one way: the exact violation reported, and nothing else. Also
// the check of an image whose last commits never reached their commit point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "flashimage/flash_volumes.h"
#include "ffs/ffs.h"
#include "ffs/file_system.h"
#include "imagecheck/image_session.h"
#include "imagecheck/volume_check.h"
#include "tests/imagecheck/checker_images.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace inspecttest;
using inspect::CheckVolume;
using nor::NodeSlot;
using nor::SlotKind;
using Strings = std::vector<std::string>;
using testsupport::TempDir;

class VolumeCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    img = MakeSampleImage(dir, "s.img");
    session = std::make_unique<inspect::ImageSession>(img, flashimage::FlashTypeCode::Old);
    ASSERT_EQ(session->Status(), inspect::SessionStatus::Mounted);
    v = session->Volume();
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(CheckVolume(*v), Strings{});
    b0 = B()->inode->first_cluster;
    b1 = B()->inode->last_cluster;
    data = v->geo.SectorOf(b0);
  }
  // The tree of the sample: root -> d (-> b.bin), a.txt; d is the first child.
  NodeSlot* Root() { return v->nodes.Root(); }
  NodeSlot* D() { return Root()->child; }
  NodeSlot* A() { return D()->next; }
  NodeSlot* B() { return D()->child; }

  TempDir dir;
  std::string img;
  std::unique_ptr<inspect::ImageSession> session;
  nor::Volume* v = nullptr;
  // b.bin's first and last cluster and the sector holding the sample's data,
  // as mounted: the tests below follow the layout rather than restate it.
  std::uint32_t b0 = 0, b1 = 0, data = 0;
};

std::string N(std::uint32_t n) { return std::to_string(n); }

TEST_F(VolumeCheck, SampleTreeIsAsExpected) {
  EXPECT_STREQ(D()->name, "d");
  EXPECT_STREQ(A()->name, "a.txt");
  EXPECT_STREQ(B()->name, "b.bin");
  // After formatting every sector's last cluster is free, so no sector is
  // worth recycling and the mount fills the recycling queue from the free
  // list: the free head's sector 1 leaves the list, its clusters 129..255
  // turn dirty, and the list goes on at 257. The copy then writes a.txt to
  // 257 and b.bin to 258..259.
  EXPECT_EQ(A()->inode->first_cluster, 257);
  EXPECT_EQ(B()->inode->first_cluster, 258);
  EXPECT_EQ(B()->inode->last_cluster, 259);
  EXPECT_EQ(B()->inode->tail_cluster, 259);
  EXPECT_EQ(B()->inode->tail_fill, 88u);
  EXPECT_EQ(data, 2u);
  EXPECT_EQ(v->free_head, 260u);
  EXPECT_EQ(v->free_tail, 2047u);
  // Sectors 2..15 of 127 data clusters, less the three data clusters.
  EXPECT_EQ(v->free_count, 14u * 127 - 3);
  EXPECT_EQ(v->sectors[1].used, 0u);
  for (std::uint32_t c = 129; c <= 255; ++c) EXPECT_EQ(v->clusters[c].state, nor::kStateDirty) << c;
}

// ffsinspect's session has a file system of its own: it opens an image while
// the process holds another one under the same volume name in the default
// file system (as vorel does), and neither sees the other's tree.
TEST_F(VolumeCheck, ASessionRunsWhileTheProcessHoldsAnotherImage) {
  flashimage::FlashVolumes held;  // the default file system, like vorel's run
  held.SetVolumeFileName(MakeSampleImage(dir, "held.img"));
  held.SetFlashType(static_cast<std::uint32_t>(flashimage::FlashTypeCode::Old));
  held.SetVolumeVolatileFlag(false);
  held.SetPrivateMapping(true);
  ASSERT_TRUE(held.CreateFlashVolumes(false));
  const std::string second = MakeSampleImage(dir, "second.img");
  inspect::ImageSession other(second, flashimage::FlashTypeCode::Old);
  ASSERT_EQ(other.Status(), inspect::SessionStatus::Mounted);
  ASSERT_NE(other.Volume(), nullptr);
  EXPECT_EQ(CheckVolume(*other.Volume()), Strings{});
  const int fd = ffs_open("/TmpDisc/only_held", FFS_O_WRONLY | FFS_O_CREAT, 0x1C0);
  ASSERT_GE(fd, 0) << ffs_errno();
  ASSERT_EQ(ffs_close(fd), 0);
  EXPECT_STREQ(other.Volume()->nodes.Root()->child->name, "d");  // the new file is not its
  FfsStat st{};
  EXPECT_EQ(ffs_stat(other.Files(), "/TmpDisc/only_held", &st), -1);
  EXPECT_EQ(ffs_stat(other.Files(), "/TmpDisc/a.txt", &st), 0);
  EXPECT_EQ(st.size, 5u);
  EXPECT_EQ(held.Close(), 0);
}

TEST_F(VolumeCheck, CheckingChangesNeitherFlashNorCounts) {
  const VolumeRecord* record = v->record;
  const std::uint8_t* flash = static_cast<flashimage::RamNorDevice*>(
      static_cast<flashimage::NorDevice*>(record->device))->Memory();
  const std::vector<std::uint8_t> before(flash, flash + 16 * kOldSector);
  std::vector<std::uint32_t> reads;
  for (const auto& s : v->sectors) reads.push_back(s.read_count);
  const std::uint32_t freeCount = v->free_count;
  ++v->sectors[data].used;  // something to report: the sector's and the volume's count
  EXPECT_EQ(CheckVolume(*v).size(), 2u);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), flash));
  for (std::size_t s = 0; s < reads.size(); ++s) EXPECT_EQ(v->sectors[s].read_count, reads[s]) << s;
  EXPECT_EQ(v->free_count, freeCount);
  EXPECT_EQ(v->sectors[data].used, 4u);
}

TEST_F(VolumeCheck, SizeDisagreeingWithTheChain) {
  B()->inode->size = 601;
  EXPECT_EQ(CheckVolume(*v), Strings{"inode of /d/b.bin: size 601 but its 2 clusters and tail hold 600"});
  B()->inode->size = 600;
  B()->inode->tail_cluster = nor::kNoCluster;  // a full last cluster would make it 1024
  EXPECT_EQ(CheckVolume(*v), Strings{"inode of /d/b.bin: size 600 but its 2 clusters and tail hold 1024"});
}

TEST_F(VolumeCheck, LastClusterOrTailNotAtTheChainsEnd) {
  B()->inode->last_cluster = b0;
  B()->inode->tail_cluster = b0;
  EXPECT_EQ(CheckVolume(*v),
            (Strings{"inode of /d/b.bin: last cluster " + N(b0) + " but its chain ends at " + N(b1),
                     "inode of /d/b.bin: tail cluster " + N(b0) + " is not the chain's last " + N(b1)}));
}

TEST_F(VolumeCheck, PreviousSiblingLinkNotMirrored) {
  A()->prev = nullptr;
  EXPECT_EQ(CheckVolume(*v), Strings{"entry /a.txt: previous-sibling link does not mirror the list"});
}

TEST_F(VolumeCheck, ParentLinkNotMirrored) {
  B()->parent = Root();
  EXPECT_EQ(CheckVolume(*v), Strings{"entry /d/b.bin does not name directory /d as its parent"});
}

TEST_F(VolumeCheck, ASiblingLoopEndsTheWalk) {
  A()->next = D();
  const Strings got = CheckVolume(*v);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].rfind("entry /d (slot 0.", 0), 0u) << got[0];
  EXPECT_NE(got[0].find("is reached twice: the tree has a loop"), std::string::npos) << got[0];
}

TEST_F(VolumeCheck, ADirectoryHoldingItsParentIsALoop) {
  B()->next = Root();  // b.bin's list goes on to the root
  const Strings got = CheckVolume(*v);
  ASSERT_EQ(got.size(), 1u) << got[0];
  EXPECT_NE(got[0].find("is reached twice"), std::string::npos) << got[0];
}

TEST_F(VolumeCheck, UnreachableEntry) {
  NodeSlot* a = A();
  Root()->child = a;
  a->prev = nullptr;
  const Strings got = CheckVolume(*v);
  // d and b.bin drop out of the tree; their inodes lose their names too.
  ASSERT_EQ(got.size(), 4u);
  const auto count = [&](const char* text) {
    return std::count_if(got.begin(), got.end(),
                         [&](const std::string& l) { return l.find(text) != std::string::npos; });
  };
  EXPECT_EQ(count("is not reachable from the root"), 2);
  EXPECT_EQ(count(": link count 1 but 0 entries name it"), 2);
}

TEST_F(VolumeCheck, LinkCountAndSerials) {
  A()->inode->links = 2;
  B()->inode->serial = A()->inode->serial;
  EXPECT_EQ(CheckVolume(*v), (Strings{"inode of /a.txt: link count 2 but 1 entries name it",
                                      "inode of /d/b.bin: serial 1 repeats that of inode of /a.txt"}));
}

TEST_F(VolumeCheck, DuplicateAndRefusedNames) {
  std::strcpy(D()->name, "a");  // same length as "d"
  std::strcpy(A()->name, "a/txt");  // same length as "a.txt"
  ffs_set_errno(FFS_ENOENT);
  EXPECT_EQ(CheckVolume(*v), Strings{"entry /a/txt has a name the file API refuses"});
  EXPECT_EQ(ffs_errno(), FFS_ENOENT) << "the caller's error number is kept";
  std::strcpy(A()->name, "a");
  A()->name[1] = '\0';
  EXPECT_EQ(CheckVolume(*v), Strings{"entry /a repeats a name of its directory"});
}

TEST_F(VolumeCheck, FreeListCountsAndShape) {
  const std::uint32_t count = v->free_count;
  ++v->free_count;
  EXPECT_EQ(CheckVolume(*v),
            Strings{"free count " + N(count + 1) + " but the free list holds " + N(count) + " clusters"});
  --v->free_count;
  // The second cluster of the list taken off it but left marked free.
  const std::uint32_t first = v->free_head;
  const std::uint32_t second = v->clusters[first].link;
  const std::uint32_t third = v->clusters[second].link;
  ASSERT_EQ(second, first + 1);
  ASSERT_EQ(third, first + 2);
  v->clusters[first].link = third;
  EXPECT_EQ(CheckVolume(*v),
            (Strings{"free count " + N(count) + " but the free list holds " + N(count - 1) + " clusters",
                     "the free list breaks its sector order at cluster " + N(third) + " after " + N(first),
                     "free cluster " + N(second) + " is not on the free list"}));
}

TEST_F(VolumeCheck, ChainMembersAndStates) {
  // A free cluster 68 places down the list, in the data sector.
  const std::uint32_t x = v->free_head + 68;
  ASSERT_EQ(v->free_head, b1 + 1);
  ASSERT_EQ(v->geo.SectorOf(x), data);
  ASSERT_EQ(v->clusters[x].state, nor::kStateFree);
  const std::uint32_t sectorEnd = v->geo.LastCluster(data);
  const std::uint32_t count = v->free_count;
  const std::uint32_t tail = v->free_tail;
  v->clusters[x].state = b1;  // claims to follow b.bin's last cluster
  v->clusters[x].link = nor::kChainEnd;
  v->clusters[0].state = nor::kStateDirty;  // a header cluster
  const Strings got = CheckVolume(*v);
  // The list walk stops at x after 68 clusters; every free cluster behind it
  // is lost, one line per run between header clusters: the rest of the data
  // sector, then each later sector.
  ASSERT_GE(got.size(), 6u);
  EXPECT_EQ(Strings(got.begin(), got.begin() + 6),
            (Strings{"header cluster 0 is not marked unusable",
                     "free-list cluster " + N(x) + " is not marked free",
                     "free count " + N(count) + " but the free list holds 68 clusters",
                     "free tail " + N(tail) + " but the free list ends at " + N(x - 1),
                     "the free list ends at cluster " + N(x - 1) + ", short of its sector's end",
                     "free clusters " + N(x + 1) + " to " + N(sectorEnd) + " are not on the free list"}));
  const std::size_t later = v->geo.sector_count - 1 - data;
  ASSERT_EQ(got.size(), 6u + later + 2u);
  for (std::size_t i = 0; i < later; ++i) {
    const std::uint32_t s = data + 1 + std::uint32_t(i);
    EXPECT_EQ(got[6 + i], "free clusters " + N(s * v->geo.clusters_per_sector + 1) + " to " +
                              N(v->geo.LastCluster(s)) +
                              " are not on the free list");
  }
  EXPECT_EQ(got[5 + later], "free clusters 1921 to 2047 are not on the free list");
  // Cluster x follows b1 by its state, but b1 ends b.bin's chain.
  EXPECT_EQ(got[6 + later], "cluster " + N(x) + " names predecessor " + N(b1) + " but no chain holds it");
  EXPECT_EQ(got[7 + later], "sector " + N(data) + " counts 3 used clusters but holds 4");
}

TEST_F(VolumeCheck, ACycleInAChainIsFound) {
  v->clusters[b1].link = b0;  // b.bin's last cluster leads back to its first
  EXPECT_EQ(CheckVolume(*v),
            Strings{"chain at cluster " + N(b0) + " meets cluster " + N(b0) + " a second time"});
}

TEST_F(VolumeCheck, SectorTableCounts) {
  v->sectors[data].used = 2;
  v->max_erase = 3;
  EXPECT_EQ(CheckVolume(*v), (Strings{"sector " + N(data) + " counts 2 used clusters but holds 3",
                                      "the volume counts 3 used clusters, its sectors 2",
                                      "maximum erase count 3 but the highest sector count is 0"}));
}

TEST_F(VolumeCheck, CheckpointFacts) {
  v->checkpoint_clusters = 2;
  v->clean = false;
  v->sectors[0].flags = 0;
  EXPECT_EQ(CheckVolume(*v),
            (Strings{"sector 0 holds the checkpoint or its area but is not flagged so",
                     "the checkpoint counts 2 clusters ending at 2, its chain 1 ending at 2",
                     "the checkpoint is taken as not clean but its clean mark reads 255"}));
}

TEST_F(VolumeCheck, CheckpointsOlderThanTheCleanMarkAreNotCleanWithoutViolation) {
  // Mount takes a checkpoint before version 10 as not clean whatever its
  // last byte (255 here) reads; from version 10 on the two must agree.
  for (const unsigned version : {9u, 10u, 13u}) {
    v->version = version;
    v->clean = false;
    EXPECT_EQ(CheckVolume(*v),
              version < 10 ? Strings{}
                           : Strings{"the checkpoint is taken as not clean but its clean mark reads 255"})
        << version;
  }
}

TEST_F(VolumeCheck, AChainWithoutOwner) {
  const std::uint32_t a0 = A()->inode->first_cluster;
  A()->inode->first_cluster = nor::kNoCluster;
  A()->inode->last_cluster = nor::kNoCluster;
  A()->inode->tail_cluster = nor::kNoCluster;
  A()->inode->size = 0;
  EXPECT_EQ(CheckVolume(*v), Strings{"the chain at cluster " + N(a0) + " has 0 owners"});
}

// A commit whose start bit was never programmed: the writes after the older
// checkpoint are found by recovery, and the image still passes the check.
TEST(InterruptedCommit, ImageWithoutItsLastStartBitsPassesTheCheck) {
  testsupport::TempDir dir;
  const std::string img = MakeSampleImage(dir, "c.img");
  std::vector<std::string> bitmaps;
  for (std::uint32_t s = 0; s < 16; ++s) bitmaps.push_back(ReadAt(img, std::uint64_t(s) * kOldSector, 16));
  {
    flashimage::FlashVolumes volumes;
    volumes.SetVolumeFileName(img);
    volumes.SetFlashType(static_cast<std::uint32_t>(flashimage::FlashTypeCode::Old));
    volumes.SetVolumeVolatileFlag(false);
    ASSERT_TRUE(volumes.CreateFlashVolumes(false));
    const int fd = ffs_open("TmpDisc/new.txt", FFS_O_RDWR | FFS_O_CREAT | FFS_O_EXCL, 0x1C0);
    ASSERT_GE(fd, 0);
    const std::string data(1500, 'n');
    EXPECT_EQ(ffs_write(fd, data.data(), std::uint32_t(data.size())), 1500);
    EXPECT_EQ(ffs_close(fd), 0);
  }  // unmount commits again
  inspect::ImageCheck committed = inspect::CheckImage(img, flashimage::FlashTypeCode::Old);
  EXPECT_TRUE(committed.Passed()) << committed.Describe();
  bool changed = false;
  for (std::uint32_t s = 0; s < 16; ++s) {
    changed = changed || ReadAt(img, std::uint64_t(s) * kOldSector, 16) != bitmaps[s];
    WriteAt(img, std::uint64_t(s) * kOldSector, bitmaps[s]);
  }
  ASSERT_TRUE(changed) << "the commits set start bits";
  const std::string before = testsupport::ReadFile(img);
  inspect::ImageCheck r = inspect::CheckImage(img, flashimage::FlashTypeCode::Old);
  EXPECT_TRUE(r.Passed()) << r.Describe();
  EXPECT_TRUE(testsupport::ReadFile(img) == before);
  inspect::ImageSession s(img, flashimage::FlashTypeCode::Old);
  ASSERT_NE(s.Volume(), nullptr);
  EXPECT_STRNE(s.Volume()->nodes.Root()->child->name, "new.txt") << "the lost commit held new.txt";
  EXPECT_EQ(s.Volume()->sequence, 3u) << "checkpoint 2 and the repair committed in memory";
}

TEST(CheckImage, ReportsWhyAnImageCannotBeChecked) {
  testsupport::TempDir dir;
  inspect::ImageCheck r = inspect::CheckImage(dir / "none.img", flashimage::FlashTypeCode::Old);
  EXPECT_FALSE(r.Passed());
  EXPECT_EQ(r.Describe(), "cannot be read\n");
  testsupport::WriteFile(dir / "blank.img", std::string(4 * kOldSector, '\xFF'));
  r = inspect::CheckImage(dir / "blank.img", flashimage::FlashTypeCode::Old);
  EXPECT_EQ(r.Describe(), "does not mount: EINVAL (22)\n");
}

}  // namespace
