// Byte layouts of the on-flash format, checked against bytes worked out by
// hand, and the decoders' refusal of malformed input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ffs/nor/checkpoint_codec.h"
#include "ffs/nor/checkpoint_stream.h"
#include "ffs/nor/list_codec.h"
#include "ffs/nor/sector_header.h"
#include "tests/ffs/nor/image_builder.h"

using namespace nor;
using nortest::FlashIo;
using nortest::TestFlash;
using Bytes = std::vector<uint8_t>;

namespace {

Geometry Small() {  // 4096-byte sectors of 8 clusters, one header cluster, 6 sectors
  Geometry g;
  EXPECT_TRUE(Geometry::Derive(4096, 512, 6, 0, g));
  return g;
}

Bytes WordBytes(const std::vector<uint16_t>& words) {
  VectorSink sink;
  WriteWords(sink, words);
  return sink.data;
}

}  // namespace

TEST(Geometry, FlashTypesAndSizes) {
  Geometry g;
  ASSERT_TRUE(Geometry::Derive(65536, 512, 64, 0, g));  // 4 MiB, old type
  EXPECT_EQ(g.cluster_size, 512u);
  EXPECT_EQ(g.clusters_per_sector, 128u);
  EXPECT_EQ(g.cluster_count, 8192u);
  EXPECT_EQ(g.header_clusters, 1u);
  ASSERT_TRUE(Geometry::Derive(131072, 512, 256, 0, g));  // full 32 MiB, new type
  EXPECT_EQ(g.cluster_size, 1024u);
  EXPECT_EQ(g.clusters_per_sector, 128u);
  EXPECT_EQ(g.cluster_count, 32768u);
  ASSERT_TRUE(Geometry::Derive(65536, 512, 1024, 0, g));
  EXPECT_EQ(g.cluster_size, 2048u);
  EXPECT_EQ(g.clusters_per_sector, 32u);
  // Tiny clusters need several header clusters: ceil((256 + 32) / (8 * 16)) = 3.
  ASSERT_TRUE(Geometry::Derive(4096, 16, 4, 0, g));
  EXPECT_EQ(g.header_clusters, 3u);
  EXPECT_FALSE(Geometry::Derive(65536, 512, 3, 0, g));
  EXPECT_FALSE(Geometry::Derive(1000, 512, 8, 0, g));
}

TEST(Geometry, StepOverHeader) {
  Geometry g = Small();
  EXPECT_EQ(g.StepOverHeader(14), 15u);
  EXPECT_EQ(g.StepOverHeader(15), 17u);  // 16 is sector 2's header
  EXPECT_TRUE(g.IsLastOfSector(15));
  EXPECT_EQ(g.FirstDataCluster(2), 17u);
}

TEST(SectorHeader, BitsClearedInAscendingOrder) {
  Geometry g = Small();
  Bytes header(512, 0xFF);
  for (uint32_t r : {1u, 3u, 6u}) {
    BitmapByte b = CheckpointStartByte(r, header[r / 8]);
    header[b.offset] = b.value;
  }
  // Clusters 1, 3 and 6 clear bits 6, 4 and 1: 1010 1101.
  EXPECT_EQ(header[0], 0xAD);
  for (size_t i = 1; i < header.size(); ++i) ASSERT_EQ(header[i], 0xFF) << i;
  EXPECT_EQ(NewestStartInHeaderCluster(g, header.data(), 0), 6u);
}

TEST(SectorHeader, NewestStartInLaterByte) {
  Geometry g;
  ASSERT_TRUE(Geometry::Derive(65536, 512, 8, 0, g));
  Bytes header(512, 0xFF);
  header[0] = 0xBF;  // cluster 1
  header[9] = 0xFB;  // cluster 77: byte 9, bit 2
  EXPECT_EQ(NewestStartInHeaderCluster(g, header.data(), 0), 77u);
  // The signature is not searched: a programmed signature alone is no start.
  Bytes signed_only(512, 0xFF);
  std::copy(kSignature, kSignature + 4, signed_only.end() - 4);
  EXPECT_FALSE(NewestStartInHeaderCluster(g, signed_only.data(), 0));
  // A cleared bit beyond the sector's clusters, or naming the header, is no start.
  Bytes beyond(512, 0xFF);
  beyond[100] = 0x7F;
  EXPECT_FALSE(NewestStartInHeaderCluster(g, beyond.data(), 0));
  // Stray bits beyond the 16 bitmap bytes do not hide a recorded start.
  beyond[0] = 0xBF;
  beyond[16] = 0x00;
  EXPECT_EQ(NewestStartInHeaderCluster(g, beyond.data(), 0), 1u);
  Bytes header_bit(512, 0xFF);
  header_bit[0] = 0x7F;
  EXPECT_FALSE(NewestStartInHeaderCluster(g, header_bit.data(), 0));
}

TEST(SectorHeader, SignatureVersions) {
  auto version = [](const char* s) {
    return SignatureVersion(reinterpret_cast<const uint8_t*>(s));
  };
  EXPECT_EQ(version("QM13"), 13u);
  EXPECT_EQ(version("QM09"), 9u);
  EXPECT_FALSE(version("QM08"));
  EXPECT_FALSE(version("QM14"));
  EXPECT_FALSE(version("QM1A"));
  EXPECT_FALSE(version("QN13"));
  const uint8_t zero[4] = {0, 0, 0, 0}, erased[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_FALSE(SignatureVersion(zero));
  EXPECT_FALSE(SignatureVersion(erased));
}

TEST(EraseCounts, NibblesBelowTheMaximum) {
  // Lags 0, 1, 16 and 20 (stored as 15) and 15; the sixth nibble is absent.
  Bytes bytes = EncodeEraseCounts(20, {20, 19, 4, 0, 5});
  EXPECT_EQ(bytes, (Bytes{0x01, 0xFF, 0xF0}));
  std::vector<uint32_t> back = DecodeEraseCounts(20, bytes, 5);
  EXPECT_EQ(back, (std::vector<uint32_t>{20, 19, 5, 5, 5}));
  // A nibble above the maximum (corrupt) reads as 0 instead of wrapping.
  EXPECT_EQ(DecodeEraseCounts(3, {0x50}, 1), std::vector<uint32_t>{0});
}

TEST(Prelude, LayoutAndRoundTrip) {
  Geometry g;
  ASSERT_TRUE(Geometry::Derive(4096, 512, 4, 0, g));
  CheckpointPrelude p;
  p.header = CheckpointHeader{0x11223344, 2, 20, 5, 1, 9, 31, 20, 3};
  p.erase_counts = {3, 2, 1, 3};
  p.read_counts = {7, 0, 0, 0x01020304};
  p.cursor = 0xFFFFFFFF;
  VectorSink sink;
  ASSERT_TRUE(WritePrelude(sink, g, p));
  ASSERT_EQ(sink.data.size(), PreludeBytes(g));
  const Bytes expected = {
      0x44, 0x33, 0x22, 0x11, 0x02, 0, 0, 0, 0x14, 0, 0, 0, 0x05, 0, 0, 0, 0x01, 0, 0, 0,
      0x09, 0, 0, 0, 0x1F, 0, 0, 0, 0x14, 0, 0, 0, 0x03, 0, 0, 0,
      0x01, 0x20,              // erase counts: lags 0,1 and 2,0
      0x33, 0x31, 0x4D, 0x51,  // format mark "QM13"
      0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x04, 0x03, 0x02, 0x01,
      0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(sink.data, expected);
  MemorySource source(sink.data);
  CheckpointPrelude back;
  ASSERT_EQ(ReadPrelude(source, g, back), DecodeStatus::Ok);
  EXPECT_EQ(back.version, 13u);
  EXPECT_EQ(back.erase_counts, p.erase_counts);
  EXPECT_EQ(back.read_counts, p.read_counts);
  EXPECT_EQ(back.header.free_tail, 31u);
}

TEST(Prelude, FormatMarkVersions) {
  Geometry g;
  ASSERT_TRUE(Geometry::Derive(4096, 512, 4, 0, g));
  Bytes base(36 + 2, 0);
  auto with_mark = [&](Bytes mark) {
    Bytes b = base;
    b.insert(b.end(), mark.begin(), mark.end());
    b.insert(b.end(), 4, 0xEE);  // cursor (version 9: no read counts)
    return b;
  };
  Bytes v9 = with_mark({0x39, 0x30, 0x4D, 0x51});
  MemorySource s9(v9);
  CheckpointPrelude p;
  ASSERT_EQ(ReadPrelude(s9, g, p), DecodeStatus::Ok);
  EXPECT_EQ(p.version, 9u);
  EXPECT_EQ(p.cursor, 0xEEEEEEEEu);
  EXPECT_EQ(p.read_counts, std::vector<uint32_t>(4, 0));
  for (Bytes mark : {Bytes{0x38, 0x30, 0x4D, 0x51}, Bytes{0x34, 0x31, 0x4D, 0x51},
                     Bytes{0x33, 0x31, 0x4D, 0x52}}) {
    Bytes b = with_mark(mark);
    MemorySource s(b);
    EXPECT_EQ(ReadPrelude(s, g, p), DecodeStatus::BadFormatMark);
  }
  Bytes truncated(base.begin(), base.begin() + 20);
  MemorySource st(truncated);
  EXPECT_EQ(ReadPrelude(st, g, p), DecodeStatus::Malformed);
}

TEST(NodeSlots, DirectoryAndInodeBytes) {
  Geometry g = Small();
  SlotRecord dir = nortest::DirEntry("ab", MakeRef(0, 1), kRefNone);
  VectorSink sink;
  ASSERT_TRUE(WriteSlot(sink, g, dir));
  const Bytes dir_bytes = {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                           0x01, 0x00, 0x01, 0x00,  // inode: slot 1 of page 0
                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 0x00};
  EXPECT_EQ(sink.data, dir_bytes);
  EXPECT_EQ(SlotBytes(g, dir) + 1, dir_bytes.size());

  SlotRecord inode = nortest::Inode(7, 5, 6, 0x01020304);
  inode.tail_cluster = 0x1234;
  inode.tail_fill = 0x56;
  inode.mode = 7;
  inode.attributes = 0xAABBCCDD;
  VectorSink isink;
  ASSERT_TRUE(WriteSlot(isink, g, inode));
  const Bytes inode_bytes = {0x02, 0x34, 0x12, 0x56, 0x00, 0, 0, 0, 0, 0, 0, 0, 0,
                             0x07, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0x05, 0x00, 0x06, 0x00,
                             0, 0, 0, 0, 0x07, 0x00, 0x01, 0xDD, 0xCC, 0xBB, 0xAA, 0x00};
  EXPECT_EQ(isink.data, inode_bytes);
  MemorySource source(isink.data);
  SlotRecord back;
  ASSERT_EQ(ReadSlot(source, g, 13, back), DecodeStatus::Ok);
  EXPECT_EQ(back.serial, 7u);
  EXPECT_EQ(back.attributes, 0xAABBCCDDu);
  EXPECT_EQ(back.tail_cluster, 0x1234);
}

TEST(NodeSlots, TailFillHighByteFromBigClusters) {
  Geometry g;
  ASSERT_TRUE(Geometry::Derive(1u << 20, 65536, 4, 0, g));
  ASSERT_EQ(g.cluster_size, 65536u);
  SlotRecord inode = nortest::Inode(1);
  inode.tail_fill = 0x012345;
  VectorSink sink;
  ASSERT_TRUE(WriteSlot(sink, g, inode));
  EXPECT_EQ(sink.data.size(), 1u + kInodeBytesBig);
  EXPECT_EQ(sink.data[5], 0x01);  // after tail cluster and the low 16 bits
  MemorySource source(sink.data);
  SlotRecord back;
  ASSERT_EQ(ReadSlot(source, g, 13, back), DecodeStatus::Ok);
  EXPECT_EQ(back.tail_fill, 0x012345u);
}

TEST(NodeSlots, OlderVersionsLackParentAndAttributes) {
  Geometry g = Small();
  // Version 10 file entry: next, prev, inode, then the name.
  Bytes file = {0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0x02, 0, 'x', 0};
  MemorySource fs(file);
  SlotRecord s;
  ASSERT_EQ(ReadSlot(fs, g, 10, s), DecodeStatus::Ok);
  EXPECT_EQ(s.name, "x");
  EXPECT_EQ(s.parent, kRefNone);
  EXPECT_EQ(s.inode, MakeRef(0, 2));
  // Version 10 inode: no attribute word, 32 bytes after the kind.
  Bytes inode(33, 0);
  inode[0] = 0x02;
  inode[31] = 0x03;  // link count
  MemorySource is(inode);
  ASSERT_EQ(ReadSlot(is, g, 10, s), DecodeStatus::Ok);
  EXPECT_EQ(s.links, 3);
  EXPECT_EQ(s.attributes, 0u);
}

TEST(NodeSlots, NamesAreCutAndKindsChecked) {
  Geometry g = Small();
  for (size_t len : {64u, 65u, 70u}) {
    SlotRecord f = nortest::FileEntry(std::string(len, 'n'), kRefNone, kRefNone);
    VectorSink sink;
    WriteSlot(sink, g, f);
    MemorySource source(sink.data);
    SlotRecord back;
    ASSERT_EQ(ReadSlot(source, g, 13, back), DecodeStatus::Ok);
    if (len == 64) {
      EXPECT_EQ(back.name, std::string(64, 'n'));
    } else {
      EXPECT_EQ(back.name, std::string(63, 'n') + "*");
    }
    EXPECT_EQ(source.position(), sink.data.size());  // the whole name was consumed
  }
  Bytes bad = {0x04};
  MemorySource bs(bad);
  SlotRecord s;
  EXPECT_EQ(ReadSlot(bs, g, 13, s), DecodeStatus::Malformed);
  Bytes unterminated = {0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b'};
  MemorySource us(unterminated);
  EXPECT_EQ(ReadSlot(us, g, 13, s), DecodeStatus::Malformed);
}

TEST(NodeSlots, References) {
  EXPECT_EQ(MakeRef(0, 0), 0x00000001u);
  EXPECT_EQ(MakeRef(2, 19), 0x00130003u);
}

TEST(FreeList, TwoSectorTails) {
  Geometry g = Small();
  ClusterList list = {13, 14, 15, 33, 34, 35, 36, 37, 38, 39};
  std::vector<uint16_t> words = EncodeFreeList(g, list, nullptr);
  EXPECT_EQ(WordBytes(words), (Bytes{0x0F, 0x00, 0x21, 0x00, 0x27, 0x00, 0xFC, 0xFF}));
  Bytes bytes = WordBytes(words);
  MemorySource source(bytes);
  ClusterList back;
  ASSERT_TRUE(ReadFreeList(source, g, 13, nullptr, back));
  EXPECT_EQ(back, list);
}

TEST(FreeList, RunsCrossHeadersAndUnusableSectors) {
  Geometry g = Small();
  ClusterList list = {14, 15, 17, 18, 19, 20, 21, 22, 23};
  EXPECT_EQ(EncodeFreeList(g, list, nullptr), (std::vector<uint16_t>{23, 0xFFFC}));
  auto unusable = [](uint32_t s) { return s == 2; };
  ClusterList skip = {15, 25, 26};
  EXPECT_EQ(EncodeFreeList(g, skip, unusable), (std::vector<uint16_t>{26, 0xFFFC}));
  Bytes bytes = WordBytes({26, 0xFFFC});
  MemorySource source(bytes);
  ClusterList back;
  ASSERT_TRUE(ReadFreeList(source, g, 15, unusable, back));
  EXPECT_EQ(back, skip);
  EXPECT_TRUE(EncodeFreeList(g, {}, nullptr).empty());
}

TEST(FreeList, MalformedPairsAreRefused) {
  Geometry g = Small();
  struct Case {
    uint32_t head;
    std::vector<uint16_t> words;
  };
  const Case cases[] = {
      {13, {48, 0xFFFC}},          // run end not below N
      {13, {12, 0xFFFC}},          // run end below its start
      {13, {16, 0xFFFC}},          // run end is a header cluster
      {13, {15, 16, 17, 0xFFFC}},  // next is a header cluster
      {16, {17, 0xFFFC}},          // head is a header cluster
      {13, {15, 13, 15, 13}},      // loops back on itself until the stream ends
      {13, {15}},                  // truncated
  };
  for (const Case& c : cases) {
    Bytes bytes = WordBytes(c.words);
    MemorySource source(bytes);
    ClusterList out;
    EXPECT_FALSE(ReadFreeList(source, g, c.head, nullptr, out)) << c.words[0];
  }
}

TEST(Chains, RunAcrossAHeaderCluster) {
  Geometry g = Small();
  std::vector<ClusterList> chains = {{40, 41, 42}, {14, 15, 17, 18, 30, 5}, {9}};
  std::vector<uint16_t> words = EncodeChains(g, chains);
  const std::vector<uint16_t> expected = {9,  0xFFFC,                            // single cluster
                                          14, 0xFFFE, 18, 30, 5, 0xFFFC,         // run over 16
                                          40, 0xFFFE, 42, 0xFFFC,                // run to the end
                                          0xFFFC};
  EXPECT_EQ(words, expected);
  EXPECT_EQ(WordBytes(words)[4], 0x0E);
  Bytes bytes = WordBytes(words);
  MemorySource source(bytes);
  std::vector<ClusterList> back;
  ASSERT_TRUE(ReadChains(source, g, back));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0], ClusterList{9});
  EXPECT_EQ(back[1], chains[1]);
  EXPECT_EQ(back[2], chains[0]);
}

TEST(Chains, MalformedSectionsAreRefused) {
  Geometry g = Small();
  const std::vector<std::vector<uint16_t>> cases = {
      {48, 0xFFFC, 0xFFFC},               // start not below N
      {20, 0xFFFE, 19, 0xFFFC, 0xFFFC},   // run end below the run's start
      {20, 0xFFFE, 60, 0xFFFC, 0xFFFC},   // run end not below N
      {20, 50, 0xFFFC, 0xFFFC},           // next not below N
      {20, 21},                           // truncated
      {20, 21, 20, 21, 20, 21, 20, 21},   // a loop runs into the cluster bound
  };
  for (const auto& words : cases) {
    std::vector<uint16_t> w = words;
    if (words.size() == 8) {  // longer than the volume: repeat well past N words
      for (int i = 0; i < 60; ++i) w.insert(w.end(), {20, 21});
      w.push_back(0xFFFC);
      w.push_back(0xFFFC);
    }
    Bytes bytes = WordBytes(w);
    MemorySource source(bytes);
    std::vector<ClusterList> out;
    EXPECT_FALSE(ReadChains(source, g, out)) << words[0] << " " << words[1];
  }
}

class StreamTest : public ::testing::Test {
 protected:
  // 300 sectors so that a link's high byte is not zero.
  StreamTest() : flash(4096, 300), io(flash) {}
  Bytes Pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i & 0x7F);
    return b;
  }
  uint32_t Write(uint32_t first, const ClusterList& chain, const Bytes& content,
                 uint32_t* last = nullptr) {
    size_t at = 0;
    StreamWriter w(flash.geo, io, first, [&](uint32_t) {
      ++at;
      return at < chain.size() ? uint32_t(chain[at]) : flash.geo.cluster_count;
    });
    EXPECT_TRUE(w.Put(content.data(), content.size()));
    EXPECT_TRUE(w.Finish());
    if (last) *last = w.last_cluster();
    return w.clusters_used();
  }
  TestFlash flash;
  FlashIo io;
};

TEST_F(StreamTest, ContentEndingInTheLastClusterOfASectorHasNoLink) {
  const Geometry& g = flash.geo;
  Bytes content = Pattern(510);
  EXPECT_EQ(Write(7, {7, 17}, content), 1u);
  EXPECT_EQ(StreamClusters(g, 7, 510), 1u);
  const uint8_t* c = flash.Cluster(7);
  EXPECT_EQ(Bytes(c, c + 510), content);
  EXPECT_EQ(c[510], 0xFF);
  EXPECT_EQ(c[511], 0xFF);
  EXPECT_EQ(io.writes, 1u);  // the next sector was never touched
}

TEST_F(StreamTest, SpanningTwoSectorsStoresABigEndianLink) {
  const Geometry& g = flash.geo;
  const uint32_t resume = g.FirstDataCluster(258);  // sector 0x0102
  Bytes content = Pattern(600);
  uint32_t last = 0;
  EXPECT_EQ(Write(7, {7, uint16_t(resume)}, content, &last), 2u);
  EXPECT_EQ(last, resume);
  uint32_t sectors = 0;
  EXPECT_EQ(StreamClusters(g, 7, 600, &sectors), 2u);
  EXPECT_EQ(sectors, 2u);
  const uint8_t* c = flash.Cluster(7);
  EXPECT_EQ(c[509], 509 & 0x7F);
  EXPECT_EQ(c[510], 0x01);
  EXPECT_EQ(c[511], 0x02);
  const uint8_t* d = flash.Cluster(resume);
  EXPECT_EQ(d[0], 510 & 0x7F);
  EXPECT_EQ(d[89], 599 & 0x7F);
  EXPECT_EQ(d[90], 0xFF);
  EXPECT_EQ(d[511], 0xFF);

  StreamReader reader(g, io, 7);
  Bytes back(600);
  ASSERT_TRUE(reader.Get(back.data(), back.size()));
  EXPECT_EQ(back, content);
}

TEST_F(StreamTest, ContentEndingOnAClusterEndTakesAClusterForTheCleanMark) {
  const Geometry& g = flash.geo;
  Bytes content = Pattern(512);
  content[511] = 0xFF;  // like the closing 0xFFFC of the chain section
  uint32_t last = 0;
  EXPECT_EQ(Write(1, {1, 2, 3}, content, &last), 2u);
  EXPECT_EQ(last, 2u);
  EXPECT_EQ(StreamClusters(g, 1, 512), 2u);
  EXPECT_EQ(io.writes, 2u);
  EXPECT_EQ(Bytes(flash.Cluster(2), flash.Cluster(2) + 512), Bytes(512, 0xFF));
}

TEST_F(StreamTest, ReaderRefusesBadLinksAndLoops) {
  const Geometry& g = flash.geo;
  // Link to sector 0x0200, beyond the 300 sectors.
  flash.Cluster(7)[510] = 0x02;
  flash.Cluster(7)[511] = 0x00;
  StreamReader bad(g, io, 7);
  Bytes out(600);
  EXPECT_FALSE(bad.Get(out.data(), out.size()));
  // A link back to its own sector loops: the reader gives up after N clusters.
  flash.Cluster(7)[510] = 0x00;
  flash.Cluster(7)[511] = 0x00;
  StreamReader loop(g, io, 1);
  Bytes big(size_t(g.cluster_count + 1) * g.cluster_size);
  EXPECT_FALSE(loop.Get(big.data(), big.size()));
  EXPECT_LE(io.reads, g.cluster_count + 1);
}

TEST_F(StreamTest, WriterFailsWhenItsChainRunsOut) {
  Bytes content = Pattern(1100);
  StreamWriter w(flash.geo, io, 1, [&](uint32_t c) { return c == 1 ? 2u : flash.geo.cluster_count; });
  EXPECT_FALSE(w.Put(content.data(), content.size()) && w.Finish());
}
