// Test image construction through the sector manager's own encoders.
#include "tests/ffs/nor/image_builder.h"

#include <cstring>

#include "ffs/nor/checkpoint_stream.h"
#include "ffs/nor/sector_header.h"

namespace nortest {

using namespace nor;

bool FlashIo::ReadCluster(uint32_t c, uint8_t* dst) {
  if (c >= f_.geo.cluster_count) return false;
  ++reads;
  std::memcpy(dst, f_.Cluster(c), f_.geo.cluster_size);
  return true;
}

bool FlashIo::WriteCluster(uint32_t c, const uint8_t* src) {
  if (c >= f_.geo.cluster_count) return false;
  ++writes;
  for (uint32_t i = 0; i < f_.geo.cluster_size; ++i) f_.Cluster(c)[i] &= src[i];
  return true;
}

std::vector<SlotRecord> RootSlots() {
  SlotRecord root = DirEntry("TmpDisc", MakeRef(0, 1), kRefNone);
  SlotRecord inode = Inode(0);
  inode.mode = 7;
  return {root, inode};
}

SlotRecord DirEntry(const std::string& name, uint32_t inode, uint32_t parent, uint32_t next,
                    uint32_t prev, uint32_t child) {
  SlotRecord s;
  s.kind = SlotKind::Directory;
  s.name = name;
  s.inode = inode;
  s.parent = parent;
  s.next = next;
  s.prev = prev;
  s.child = child;
  return s;
}

SlotRecord FileEntry(const std::string& name, uint32_t inode, uint32_t parent, uint32_t next,
                     uint32_t prev) {
  SlotRecord s = DirEntry(name, inode, parent, next, prev);
  s.kind = SlotKind::File;
  s.child = kRefNone;
  return s;
}

SlotRecord Inode(uint32_t serial, uint16_t first, uint16_t last, uint32_t size) {
  SlotRecord s;
  s.kind = SlotKind::Inode;
  s.serial = serial;
  s.first_cluster = first;
  s.last_cluster = last;
  s.size = size;
  s.links = 1;
  s.mode = 6;
  return s;
}

CheckpointModel FreshModel(const Geometry& g, uint32_t checkpoint_sector, uint32_t sequence) {
  CheckpointModel m;
  m.prelude.header.sequence = sequence;
  m.prelude.erase_counts.assign(g.sector_count, 0);
  m.prelude.read_counts.assign(g.sector_count, 0);
  m.slots = RootSlots();
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    if (s == checkpoint_sector) continue;
    for (uint32_t c = g.FirstDataCluster(s); c <= g.LastCluster(s); ++c) {
      m.free_list.push_back(uint16_t(c));
    }
  }
  return m;
}

std::vector<uint8_t> EncodeContent(const Geometry& g, const CheckpointModel& model,
                                   const ClusterList& own_chain) {
  CheckpointModel m = model;
  while (m.slots.size() % kSlotsPerPage != 0 || m.slots.empty()) m.slots.push_back(SlotRecord());
  std::vector<ClusterList> chains = m.chains;
  chains.push_back(own_chain);
  const std::vector<uint16_t> chain_words = EncodeChains(g, chains);
  const std::vector<uint16_t> free_words = EncodeFreeList(g, m.free_list, nullptr);
  CheckpointHeader& h = m.prelude.header;
  h.slot_count = uint32_t(m.slots.size());
  h.chain_words = uint32_t(chain_words.size());
  h.free_head = m.free_list.empty() ? kNone32 : m.free_list.front();
  h.free_tail = m.free_list.empty() ? kNone32 : m.free_list.back();
  h.free_count = uint32_t(m.free_list.size());
  for (int pass = 0; pass < 2; ++pass) {
    VectorSink sink;
    WritePrelude(sink, g, m.prelude);
    for (const SlotRecord& s : m.slots) WriteSlot(sink, g, s);
    WriteWords(sink, free_words);
    WriteWords(sink, chain_words);
    if (pass == 1) return sink.data;
    h.length = uint32_t(sink.data.size());
  }
  return {};
}

ClusterList LayChain(const Geometry& g, uint32_t first, uint32_t count,
                     const std::vector<uint32_t>& more_sectors) {
  ClusterList chain;
  uint32_t c = first;
  size_t next_sector = 0;
  while (chain.size() < count) {
    chain.push_back(uint16_t(c));
    if (g.IsLastOfSector(c)) {
      if (next_sector >= more_sectors.size()) break;
      c = g.FirstDataCluster(more_sectors[next_sector++]);
    } else {
      ++c;
    }
  }
  return chain;
}

ClusterList WriteCheckpoint(TestFlash& f, const CheckpointModel& m, uint32_t first,
                            const std::vector<uint32_t>& more_sectors, bool mark_start) {
  const Geometry& g = f.geo;
  ClusterList chain = {uint16_t(first)};
  std::vector<uint8_t> content;
  for (int i = 0; i < 8; ++i) {  // the chain's own words change the length: settle it
    content = EncodeContent(g, m, chain);
    ClusterList next =
        LayChain(g, first, StreamClusters(g, first, uint32_t(content.size())), more_sectors);
    if (next == chain) break;
    chain = next;
  }
  FlashIo io(f);
  size_t at = 0;
  StreamWriter writer(g, io, first, [&](uint32_t c) {
    while (at < chain.size() && chain[at] != c) ++at;
    return at + 1 < chain.size() ? uint32_t(chain[at + 1]) : g.cluster_count;
  });
  writer.Put(content.data(), content.size());
  writer.Finish();
  if (mark_start) {
    BitmapByte b = CheckpointStartByte(first % g.clusters_per_sector, 0xFF);
    f.mem[g.SectorAddress(g.SectorOf(first)) + b.offset] &= b.value;
  }
  return chain;
}

void SignSector(TestFlash& f, uint32_t sector) {
  std::memcpy(&f.mem[f.geo.SectorAddress(sector) + SignatureOffset(f.geo)], kSignature, 4);
}

void SignAll(TestFlash& f) {
  for (uint32_t s = 0; s < f.geo.sector_count; ++s) SignSector(f, s);
}

CheckpointModel WriteFreshImage(TestFlash& f, uint32_t sequence) {
  f.EraseAll();
  SignAll(f);
  const uint32_t sector = f.geo.sector_count - 1;
  CheckpointModel m = FreshModel(f.geo, sector, sequence);
  WriteCheckpoint(f, m, f.geo.FirstDataCluster(sector));
  return m;
}

}  // namespace nortest
