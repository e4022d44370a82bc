// File data: the tail bookkeeping of writes, reads up to and at the end,
// direct reads of whole clusters, seeks beyond the end, appends, truncation,
// and writes on a volume that runs out of clusters.
#include "ffs/file_data.h"
#include "tests/ffs/fs_fixture.h"
#include "tests/ffs/semaphore_recorder.h"

namespace {

// Every test runs on the in-memory services and on the sector manager itself.
class FileData : public FsTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool OnFlash() const override { return GetParam(); }
};
using FileDataInRam = FsTest;

TEST_P(FileData, ThreeWritesOf256Bytes) {
  const int fd = Create("/TmpDisc/f");
  ASSERT_GE(fd, 0);
  const std::string chunk = Pattern(256);
  nor::NodeSlot* inode = InodeOf(fd);
  FileControlBlock* b = ffs_fcb(fd);

  ASSERT_EQ(ffs_write(fd, chunk.data(), 256), 256);
  const std::uint32_t first = inode->first_cluster;
  EXPECT_EQ(inode->size, 256u);
  EXPECT_EQ(inode->tail_cluster, first);
  EXPECT_EQ(inode->tail_fill, 256u);
  EXPECT_EQ(inode->last_cluster, first);

  ASSERT_EQ(ffs_write(fd, chunk.data(), 256), 256);
  EXPECT_EQ(inode->size, 512u);
  EXPECT_EQ(inode->tail_cluster, first);
  EXPECT_EQ(inode->tail_fill, 512u);
  EXPECT_EQ(b->position.cluster, first);
  EXPECT_EQ(b->position.offset, 512u);

  ASSERT_EQ(ffs_write(fd, chunk.data(), 256), 256);
  EXPECT_EQ(inode->size, 768u);
  EXPECT_NE(inode->tail_cluster, first);
  EXPECT_EQ(inode->tail_cluster, inode->last_cluster);
  EXPECT_EQ(inode->tail_fill, 256u);
  EXPECT_EQ(b->position.index, 1u);
  EXPECT_EQ(vol->nor->clusters[first].link, inode->last_cluster);
  ASSERT_EQ(ffs_close(fd), 0);
  EXPECT_EQ(ReadFile("/TmpDisc/f"), chunk + chunk + chunk);
}

TEST_P(FileData, WholeClustersLeaveNoTail) {
  const int fd = Create("/TmpDisc/f");
  const std::string data = Pattern(1024);
  ASSERT_EQ(ffs_write(fd, data.data(), 1024), 1024);
  nor::NodeSlot* inode = InodeOf(fd);
  EXPECT_EQ(inode->size, 1024u);
  EXPECT_EQ(inode->tail_cluster, nor::kNoCluster);
  EXPECT_EQ(inode->tail_fill, 0u);
  EXPECT_EQ(ffs_fcb(fd)->position.cluster, FFS_POS_END);
  ASSERT_EQ(ffs_write(fd, "z", 1), 1);
  EXPECT_EQ(inode->size, 1025u);
  EXPECT_EQ(inode->tail_fill, 1u);
  ASSERT_EQ(ffs_close(fd), 0);
  EXPECT_EQ(ReadFile("/TmpDisc/f"), data + "z");
}

TEST_P(FileData, ReadOfExactlyOneClusterThenNothing) {
  WriteFile("/TmpDisc/f", Pattern(512));
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  std::string buf(600, '\0');
  EXPECT_EQ(ffs_read(fd, buf.data(), 512), 512);
  EXPECT_EQ(buf.substr(0, 512), Pattern(512));
  EXPECT_EQ(ffs_read(fd, buf.data(), 512), 0);
  EXPECT_EQ(ffs_read(fd, buf.data(), 1), 0);
  EXPECT_EQ(ffs_eof(fd), 1);
}

TEST_F(FileDataInRam, ReadAtTheEndTouchesNoCache) {
  WriteFile("/TmpDisc/f", Pattern(700));
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  std::string buf(800, '\0');
  EXPECT_EQ(ffs_read(fd, buf.data(), 800), 700);
  EXPECT_EQ(ffs_fcb(fd)->held, nullptr);  // the end releases the held entry
  const int reads = sm->ClusterReads();
  const int cached = sm->CachedEntries(vol);
  EXPECT_EQ(ffs_read(fd, buf.data(), 800), 0);
  EXPECT_EQ(sm->ClusterReads(), reads);
  EXPECT_EQ(sm->CachedEntries(vol), cached);
}

TEST_F(FileDataInRam, WholeClustersAreReadStraightFromTheFlash) {
  WriteFile("/TmpDisc/f", Pattern(8 * 512 + 100));
  ASSERT_EQ(ffs_unmount("TmpDisc"), 0);  // an empty cache after the next mount
  ASSERT_EQ(ffs_mount("TmpDisc"), 0);
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  std::string buf(8 * 512 + 100, '\0');
  const int before = sm->ClusterReads();
  EXPECT_EQ(ffs_read(fd, buf.data(), 8 * 512 + 100), 8 * 512 + 100);
  EXPECT_EQ(sm->ClusterReads() - before, 8);  // the tail goes through the cache
  EXPECT_EQ(buf, Pattern(8 * 512 + 100));
}

TEST_P(FileData, PartialReadsAcrossClusters) {
  const std::string data = Pattern(2000, 3);
  WriteFile("/TmpDisc/f", data);
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  std::string out;
  char buf[333];
  int n;
  while ((n = ffs_read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  EXPECT_EQ(out, data);
  for (std::int32_t at : {0, 1, 511, 512, 513, 1023, 1024, 1999}) {
    ASSERT_EQ(ffs_lseek(fd, at, 0), at);
    char c = 0;
    ASSERT_EQ(ffs_read(fd, &c, 1), 1) << at;
    EXPECT_EQ(c, data[static_cast<std::size_t>(at)]) << at;
    EXPECT_EQ(ffs_tell(fd), at + 1);
  }
  ASSERT_EQ(ffs_lseek(fd, 0, 2), 2000);
  EXPECT_EQ(ffs_read(fd, buf, 10), 0);
}

TEST_P(FileData, OverwriteInTheMiddle) {
  WriteFile("/TmpDisc/f", Pattern(1500));
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDWR, 0);
  ASSERT_EQ(ffs_lseek(fd, 500, 0), 500);
  const std::string patch(600, 'P');
  ASSERT_EQ(ffs_write(fd, patch.data(), 600), 600);
  EXPECT_EQ(ffs_tell(fd), 1100);
  EXPECT_EQ(InodeOf(fd)->size, 1500u);
  ASSERT_EQ(ffs_close(fd), 0);
  std::string expected = Pattern(1500);
  expected.replace(500, 600, patch);
  EXPECT_EQ(ReadFile("/TmpDisc/f"), expected);
}

TEST_P(FileData, SeekBeyondTheEndFillsWithZeros) {
  WriteFile("/TmpDisc/f", "abc");
  const int fd = ffs_open("/TmpDisc/f", FFS_O_WRONLY, 0);
  ASSERT_EQ(ffs_lseek(fd, 1200, 0), 1200);
  EXPECT_EQ(InodeOf(fd)->size, 3u);  // nothing grows before the write
  ASSERT_EQ(ffs_write(fd, "XY", 2), 2);
  EXPECT_EQ(InodeOf(fd)->size, 1202u);
  ASSERT_EQ(ffs_close(fd), 0);
  EXPECT_EQ(ReadFile("/TmpDisc/f"), "abc" + std::string(1197, '\0') + "XY");
  const int e = Create("/TmpDisc/empty");
  ExpectError(ffs_lseek(e, -1, 1), FFS_EINVAL);
  ExpectError(ffs_lseek(e, -1, 0), FFS_EINVAL);
  ExpectError(ffs_lseek(e, 0, 3), FFS_EINVAL);
  ASSERT_EQ(ffs_lseek(e, 512, 1), 512);
  ASSERT_EQ(ffs_write(e, "Q", 1), 1);
  ffs_close(e);
  EXPECT_EQ(ReadFile("/TmpDisc/empty"), std::string(512, '\0') + "Q");
}

TEST_P(FileData, AppendAlwaysWritesAtTheEnd) {
  WriteFile("/TmpDisc/log", "one;");
  const int fd = ffs_open("/TmpDisc/log", FFS_O_RDWR | FFS_O_APPEND, 0);
  EXPECT_EQ(ffs_tell(fd), 4);
  ASSERT_EQ(ffs_lseek(fd, 0, 0), 0);
  ASSERT_EQ(ffs_write(fd, "two;", 4), 4);
  EXPECT_EQ(ffs_tell(fd), 8);
  ffs_close(fd);
  EXPECT_EQ(ReadFile("/TmpDisc/log"), "one;two;");
}

TEST_F(FileDataInRam, TruncateShrinksAndGrows) {
  WriteFile("/TmpDisc/f", Pattern(2000));
  const std::uint32_t freeFull = sm->FreeCount(vol);
  ASSERT_EQ(ffs_truncate("/TmpDisc/f", 600), 0);
  EXPECT_EQ(sm->FreeCount(vol), freeFull + 2);
  EXPECT_EQ(ReadFile("/TmpDisc/f"), Pattern(2000).substr(0, 600));
  ASSERT_EQ(ffs_truncate("/TmpDisc/f", 1024), 0);
  EXPECT_EQ(ReadFile("/TmpDisc/f"), Pattern(2000).substr(0, 600) + std::string(424, '\0'));
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDWR, 0);
  ASSERT_EQ(ffs_lseek(fd, 1000, 0), 1000);
  ASSERT_EQ(ffs_ftruncate(fd, 512), 0);
  EXPECT_EQ(ffs_tell(fd), 1000);  // the position stays, now beyond the data
  char c;
  EXPECT_EQ(ffs_read(fd, &c, 1), 0);
  ASSERT_EQ(ffs_ftruncate(fd, 0), 0);
  EXPECT_EQ(InodeOf(fd)->first_cluster, nor::kNoCluster);
  EXPECT_EQ(sm->FreeCount(vol), freeFull + 4);
  ffs_close(fd);
  const int r = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  ExpectError(ffs_ftruncate(r, 0), FFS_EACCES);
  ffs_close(r);
  WriteFile("/TmpDisc/g", Pattern(900));
  const int t = ffs_open("/TmpDisc/g", FFS_O_WRONLY | FFS_O_TRUNC, 0);
  EXPECT_EQ(InodeOf(t)->size, 0u);
  ffs_close(t);
}

TEST_F(FileDataInRam, WriteStopsBeforeTheLastFreeCluster) {
  sm->LimitFreeClusters(vol, 3);
  const int fd = Create("/TmpDisc/f");
  const std::string data = Pattern(4 * 512);
  ffs_set_errno(0);
  EXPECT_EQ(ffs_write(fd, data.data(), 4 * 512), 2 * 512);
  EXPECT_EQ(ffs_fcb(fd)->last_error, FFS_ENOSPC);
  nor::NodeSlot* inode = InodeOf(fd);
  EXPECT_EQ(inode->size, 1024u);
  EXPECT_EQ(inode->tail_cluster, nor::kNoCluster);
  ExpectError(ffs_write(fd, data.data(), 10), FFS_ENOSPC);
  EXPECT_EQ(inode->size, 1024u);
  ASSERT_EQ(ffs_close(fd), 0);
  EXPECT_EQ(ReadFile("/TmpDisc/f"), data.substr(0, 1024));
  // A partly used cluster takes what fits; no new cluster follows.
  ASSERT_EQ(ffs_truncate("/TmpDisc/f", 700), 0);
  const int g = ffs_open("/TmpDisc/f", FFS_O_WRONLY | FFS_O_APPEND, 0);
  EXPECT_EQ(ffs_write(g, data.data(), 1000), 324);
  EXPECT_EQ(InodeOf(g)->size, 1024u);
  EXPECT_EQ(InodeOf(g)->tail_cluster, nor::kNoCluster);  // the last cluster is full
  ffs_close(g);
  EXPECT_EQ(ReadFile("/TmpDisc/f"), data.substr(0, 700) + data.substr(0, 324));
}

TEST_P(FileData, AccessBitsOfTheBlock) {
  WriteFile("/TmpDisc/f", "abc");
  const int r = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  ExpectError(ffs_write(r, "x", 1), FFS_EACCES);
  const int w = ffs_open("/TmpDisc/f", FFS_O_WRONLY, 0);
  char c;
  ExpectError(ffs_read(w, &c, 1), FFS_EACCES);
  EXPECT_EQ(ffs_fcb(w)->last_error, FFS_EACCES);
}

TEST_P(FileData, ManyFilesShareTheCache) {
  // More files written in turns than the cache has entries.
  int fds[10];
  for (int i = 0; i < 10; ++i) fds[i] = Create("/TmpDisc/f" + std::to_string(i));
  for (int round = 0; round < 5; ++round)
    for (int i = 0; i < 10; ++i) {
      const std::string part = Pattern(300, static_cast<unsigned>(i * 10 + round));
      ASSERT_EQ(ffs_write(fds[i], part.data(), 300), 300);
    }
  for (int fd : fds) ASSERT_EQ(ffs_close(fd), 0);
  for (int i = 0; i < 10; ++i) {
    std::string expected;
    for (int round = 0; round < 5; ++round) expected += Pattern(300, static_cast<unsigned>(i * 10 + round));
    EXPECT_EQ(ReadFile("/TmpDisc/f" + std::to_string(i)), expected) << i;
  }
}

TEST_P(FileData, FillingTheVolumeStopsShortAndKeepsWhatFitted) {
  const int fd = Create("/TmpDisc/big");
  const std::string chunk = Pattern(5000, 9);
  std::uint32_t stored = 0;
  for (int i = 0; i < 2000; ++i) {
    const int n = ffs_write(fd, chunk.data(), 5000);
    if (n <= 0) break;
    stored += static_cast<std::uint32_t>(n);
    if (n < 5000) break;
  }
  nor::NodeSlot* inode = InodeOf(fd);
  EXPECT_EQ(inode->size, stored);
  EXPECT_GT(stored, 0u);
  EXPECT_LT(stored, 8u * 65536);
  ExpectError(ffs_write(fd, chunk.data(), 5000), FFS_ENOSPC);
  ASSERT_EQ(ffs_close(fd), 0);
  std::string expected;
  while (expected.size() < stored) expected += chunk;
  expected.resize(stored);
  EXPECT_EQ(ReadFile("/TmpDisc/big"), expected);
  ASSERT_EQ(ffs_unmount("TmpDisc"), 0);
  ASSERT_EQ(ffs_mount("TmpDisc"), 0);
  EXPECT_EQ(ReadFile("/TmpDisc/big"), expected);
  // Removing the file gives the space back for new data.
  ASSERT_EQ(ffs_unlink("/TmpDisc/big"), 0);
  WriteFile("/TmpDisc/after", Pattern(20000));
  EXPECT_EQ(ReadFile("/TmpDisc/after"), Pattern(20000));
}

// A sector read as often as the read limit allows has its recycling run,
// with the write semaphore taken in the lock order.
TEST_F(FileDataInRam, ReadLimitRunsRecyclingUnderTheWriteLock) {
  WriteFile("/TmpDisc/f", Pattern(2048));
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDONLY, 0);
  std::string buf(2048, '\0');
  EXPECT_EQ(ffs_read(fd, buf.data(), 1024), 1024);
  EXPECT_EQ(sm->readLimitRuns_, 0);
  const std::uint32_t c = ffs_fcb(fd)->position.cluster;
  vol->nor->sectors[c / vol->clusters_per_sector].read_count = vol->read_limit;
  SemaphoreRecorder rec;
  EXPECT_EQ(ffs_read(fd, buf.data(), 1024), 1024);
  EXPECT_EQ(sm->readLimitRuns_, 1);
  std::vector<std::string> names;
  for (const std::string& e : rec.Events()) names.push_back(e.substr(0, e.find(' ') + 6));
  EXPECT_EQ(names, (std::vector<std::string>{"wait fcb00", "wait FFS_R", "wait FFS_S",
                                             "release FFS_R", "release FFS_S", "wait FFS_W",
                                             "wait FFS_R", "wait FFS_S", "release FFS_W",
                                             "release FFS_R", "release FFS_S", "release fcb00"}));
}

// Inode fields as a damaged image could carry them: reads and writes stay
// inside their buffers and end.
TEST_P(FileData, DamagedInodeFieldsAreSurvived) {
  WriteFile("/TmpDisc/f", Pattern(1200));
  const int fd = ffs_open("/TmpDisc/f", FFS_O_RDWR, 0);
  nor::NodeSlot* inode = InodeOf(fd);
  std::string buf(5000, '\0');
  inode->tail_fill = 0xFFFFFF;
  ASSERT_EQ(ffs_lseek(fd, 1100, 0), 1100);
  EXPECT_GE(ffs_read(fd, buf.data(), 5000), 0);
  inode->tail_fill = 10;  // below the position in the tail cluster
  ASSERT_EQ(ffs_lseek(fd, 1100, 0), 1100);
  EXPECT_GE(ffs_read(fd, buf.data(), 5000), 0);
  EXPECT_GE(ffs_write(fd, buf.data(), 100), 0);
  inode->first_cluster = 0xFFF0;  // beyond the volume
  inode->size = 0x7FFFFFFF;
  ASSERT_EQ(ffs_lseek(fd, 0, 0), 0);
  EXPECT_EQ(ffs_read(fd, buf.data(), 5000), 0);
  inode->first_cluster = nor::kNoCluster;
  inode->last_cluster = inode->tail_cluster = nor::kNoCluster;
  inode->tail_fill = 0;
  inode->size = 0;
  ffs_close(fd);
}

INSTANTIATE_TEST_SUITE_P(Backends, FileData, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "OnFlash" : "InRam"; });

}  // namespace
