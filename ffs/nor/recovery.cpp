// Recovery of a volume at mount. Invariant afterwards: every cluster on the
// free list tests erased (or lies behind an erased first cluster of its
// sector, which the strictly upward write order makes equivalent), and the
// free count, head and tail describe exactly the linked list.
#include "ffs/nor/recovery.h"

#include <vector>

#include "ffs/nor/commit.h"
#include "ffs/nor/recycle.h"
#include "ffs/nor/sector_header.h"

namespace nor {

namespace {

void MakeDirty(Volume& v, uint16_t cluster) {
  ForgetListWords(v);
  v.clusters[cluster].state = kStateDirty;
  v.clusters[cluster].link = kChainEnd;
}

}  // namespace

void CountUsedClusters(Volume& v) {
  const Geometry& g = v.geo;
  for (SectorEntry& s : v.sectors) s.used = 0;
  v.used_clusters = 0;
  for (uint32_t c = 0; c < g.cluster_count; ++c) {
    if (v.clusters[c].state < kStateUnusable) ++v.sectors[g.SectorOf(c)].used;
  }
  // The checkpoint's own clusters are no file or directory data.
  uint32_t c = v.checkpoint_first;
  for (uint32_t n = 0; n < v.checkpoint_clusters && c < g.cluster_count; ++n) {
    SectorEntry& s = v.sectors[g.SectorOf(c)];
    if (s.used > 0) --s.used;
    c = v.clusters[c].link;
  }
  for (const SectorEntry& s : v.sectors) v.used_clusters += s.used;
}

bool ReadCleanMark(Volume& v) {
  v.clean = false;
  if (v.version < kVersionCleanMark) return true;
  uint8_t mark;
  if (!v.ReadBytes(v.geo.ClusterAddress(v.checkpoint_last) + v.geo.cluster_size - 1, &mark, 1)) {
    return false;
  }
  v.clean = mark == kErased;
  return true;
}

// A commit cut short leaves its clusters written from the cursor upwards.
// The area goes on behind the last written cluster of its sector (none when
// that is the sector's last): dropping the whole area would leave a nearly
// full volume without any room for its next checkpoint.
bool CheckCheckpointArea(Volume& v, bool& repaired) {
  if (v.cursor == kNone32) return true;
  const uint32_t last = v.geo.LastCluster(v.geo.SectorOf(v.cursor));
  for (uint32_t c = last + 1; c-- > v.cursor;) {
    bool erased;
    if (!v.IsClusterErased(c, erased)) return false;
    if (!erased) {
      v.cursor = c == last ? kNone32 : c + 1;
      repaired = true;
      return true;
    }
  }
  return true;
}

// The lowest sector-relative cluster at which a new checkpoint start would be
// found by a reader of this sector's header: above every start already
// recorded, and nowhere when a byte between the bitmap and the signature is
// programmed (the reader's search would stop there).
bool FirstFindableStart(Volume& v, uint32_t sector, uint32_t& first) {
  const Geometry& g = v.geo;
  std::vector<uint8_t> header(g.HeaderBytes());
  for (uint32_t h = 0; h < g.header_clusters; ++h) {
    if (!v.ReadCluster(sector * g.clusters_per_sector + h, header.data() + h * g.cluster_size)) return false;
  }
  first = g.header_clusters;
  for (uint32_t i = g.BitmapBytes(); i < SignatureOffset(g); ++i) {
    if (header[i] != kErased) {
      first = g.clusters_per_sector;
      return true;
    }
  }
  for (uint32_t r = 0; r < g.clusters_per_sector; ++r) {
    if (!(header[r / 8] & (0x80u >> (r % 8))) && r + 1 > first) first = r + 1;
  }
  return true;
}

// A damaged image may record checkpoint starts above free clusters or carry
// stray bytes in a header: a checkpoint written there could never be found
// again, so those clusters leave the free list and the area moves on.
bool CheckSectorHeaders(Volume& v, bool& repaired) {
  const Geometry& g = v.geo;
  std::vector<uint32_t> first(g.sector_count, g.clusters_per_sector);
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    if (v.SectorUsable(s) && !FirstFindableStart(v, s, first[s])) return false;
  }
  const auto findable = [&](uint32_t c) { return c % g.clusters_per_sector >= first[g.SectorOf(c)]; };
  if (v.cursor != kNone32 && !findable(v.cursor)) {
    v.cursor = kNone32;
    repaired = true;
  }
  std::vector<uint16_t> kept;
  for (uint16_t c : v.FreeList()) {
    if (findable(c)) {
      kept.push_back(c);
    } else {
      MakeDirty(v, c);
      repaired = true;
    }
  }
  if (repaired) v.SetFreeList(kept);
  return true;
}

bool CheckFreeList(Volume& v, bool& repaired) {
  const Geometry& g = v.geo;
  const std::vector<uint16_t> list = v.FreeList();
  std::vector<bool> written(list.size(), false);
  bool any = false;
  uint32_t erased_sector = kNone32;  // its first data cluster tested erased
  for (size_t i = 0; i < list.size(); ++i) {
    const uint32_t c = list[i];
    if (g.SectorOf(c) == erased_sector) continue;
    bool erased;
    if (!v.IsClusterErased(c, erased)) return false;
    if (!erased) {
      written[i] = any = true;
    } else if (c == g.FirstDataCluster(g.SectorOf(c))) {
      erased_sector = g.SectorOf(c);
    }
  }
  if (!any) return true;
  repaired = true;
  // Group the list by sector, in list order; the first group is the free
  // head's sector, written strictly upwards, so only its tail after the last
  // written cluster stays free. Any other sector with a written cluster
  // leaves the list whole.
  std::vector<uint16_t> kept;
  for (size_t begin = 0; begin < list.size();) {
    const uint32_t sector = g.SectorOf(list[begin]);
    size_t end = begin;
    size_t last_written = list.size();
    while (end < list.size() && g.SectorOf(list[end]) == sector) {
      if (written[end]) last_written = end;
      ++end;
    }
    if (last_written == list.size()) {
      kept.insert(kept.end(), list.begin() + long(begin), list.begin() + long(end));
    } else if (begin == 0) {
      for (size_t i = begin; i <= last_written; ++i) MakeDirty(v, list[i]);
      kept.insert(kept.end(), list.begin() + long(last_written + 1), list.begin() + long(end));
    } else {
      for (size_t i = begin; i < end; ++i) MakeDirty(v, list[i]);
    }
    begin = end;
  }
  v.SetFreeList(kept);
  return true;
}

void ReclaimUnlinkedFiles(Volume& v) {
  for (auto& page : v.nodes.pages) {
    for (NodeSlot& entry : page->slots) {
      if (entry.kind != SlotKind::File || !entry.unlinked) continue;
      NodeSlot* inode = entry.inode;
      if (inode && inode->links == 0) {
        v.ReleaseChain(inode->first_cluster);
        v.nodes.FreeSlot(*inode, v.names);
      }
      v.nodes.FreeSlot(entry, v.names);
    }
  }
}

void RelinkFreeList(Volume& v) {
  const Geometry& g = v.geo;
  std::vector<uint16_t> list;
  const uint32_t head_sector = v.free_head == kNone32 ? kNone32 : g.SectorOf(v.free_head);
  if (head_sector != kNone32) {
    for (uint32_t c = v.free_head; c <= g.LastCluster(head_sector); ++c) {
      if (v.clusters[c].state == kStateFree) list.push_back(uint16_t(c));
    }
  }
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    if (s == head_sector || !v.SectorUsable(s)) continue;
    uint32_t first = g.LastCluster(s) + 1;
    while (first > g.FirstDataCluster(s) && v.clusters[first - 1].state == kStateFree) --first;
    // Behind the head's sector the list holds whole sectors only; free
    // clusters in front of a used one belong to no list any more.
    if (first != g.FirstDataCluster(s)) first = g.LastCluster(s) + 1;
    for (uint32_t c = g.FirstDataCluster(s); c < first; ++c) {
      if (v.clusters[c].state == kStateFree) MakeDirty(v, uint16_t(c));
    }
    for (uint32_t c = first; c <= g.LastCluster(s); ++c) list.push_back(uint16_t(c));
  }
  v.SetFreeList(list);
}

bool Recover(Volume& v, int, RecoveryResult& result) {
  result = RecoveryResult();
  result.stored_free_head = v.free_head;
  CountUsedClusters(v);
  if (!ReadCleanMark(v)) return false;
  ChooseVictimsAtMount(v);
  // A sector the choice took off the free list is no sign of lost space:
  // the fall that counts is the one the checks below find.
  result.stored_free_count = v.free_count;
  if (!CheckSectorHeaders(v, result.repaired)) return false;
  if (!v.clean) {
    if (!CheckCheckpointArea(v, result.repaired)) return false;
    if (!CheckFreeList(v, result.repaired)) return false;
  }
  // Clean or repaired, the counters now follow the linked list.
  const std::vector<uint16_t> list = v.FreeList();
  v.free_count = uint32_t(list.size());
  v.free_tail = list.empty() ? kNone32 : list.back();
  if (list.empty()) v.free_head = kNone32;
  if (v.free_count < result.stored_free_count) {
    result.free_count_fell = true;
    ReclaimUnlinkedFiles(v);
    if (!EraseGarbageSectorsAtMount(v)) return false;
    RelinkFreeList(v);
  }
  v.estimated_length = RecountCheckpointEstimate(v);
  return true;
}

}  // namespace nor
