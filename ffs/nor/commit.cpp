// Commit: the old checkpoint's clusters turn dirty, the new one takes
// clusters from the checkpoint area (or a whole free sector), its stream is
// written, and clearing its start bit last is the commit point.
#include "ffs/nor/commit.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ffs/nor/checkpoint_codec.h"
#include "ffs/nor/recycle.h"
#include "ffs/nor/sector_header.h"

namespace nor {

namespace {


// Where the new checkpoint goes: clusters in stream order and the whole free
// sectors that supply the part beyond the current area.
struct Plan {
  std::vector<uint16_t> clusters;
  std::vector<uint32_t> sectors_taken;
  uint32_t cursor = kNone32;
};

// Free list grouped into (sector, first index, count) runs.
struct SectorRun {
  uint32_t sector;
  size_t begin;
  size_t count;
};

std::vector<SectorRun> RunsBySector(const Geometry& g, const ClusterList& list) {
  std::vector<SectorRun> runs;
  for (size_t i = 0; i < list.size(); ++i) {
    const uint32_t s = g.SectorOf(list[i]);
    if (runs.empty() || runs.back().sector != s) runs.push_back(SectorRun{s, i, 0});
    ++runs.back().count;
  }
  return runs;
}

bool MakePlan(const Volume& v, const ClusterList& free_list, uint32_t n, Plan& plan) {
  const Geometry& g = v.geo;
  plan = Plan();
  std::vector<SectorRun> runs = RunsBySector(g, free_list);
  size_t next_run = 0;
  size_t left_on_list = free_list.size();
  uint32_t cursor = v.cursor;
  while (plan.clusters.size() < n) {
    if (cursor == kNone32) {
      // The first whole free sector; the list must keep at least one cluster.
      while (next_run < runs.size() && runs[next_run].count != g.DataClustersPerSector()) ++next_run;
      if (next_run == runs.size() || left_on_list <= runs[next_run].count) {
        v.error = FFS_ENOSPC;
        return false;
      }
      left_on_list -= runs[next_run].count;
      plan.sectors_taken.push_back(runs[next_run].sector);
      cursor = g.FirstDataCluster(runs[next_run++].sector);
    }
    plan.clusters.push_back(uint16_t(cursor));
    cursor = g.IsLastOfSector(cursor) ? kNone32 : cursor + 1;
  }
  plan.cursor = cursor;
  return true;
}

ClusterList WithoutSectors(const Geometry& g, const ClusterList& list,
                           const std::vector<uint32_t>& sectors) {
  if (sectors.empty()) return list;
  std::vector<uint8_t> taken(g.sector_count);
  for (uint32_t s : sectors) {
    if (s < g.sector_count) taken[s] = 1;
  }
  ClusterList out;
  out.reserve(list.size());
  for (uint16_t c : list) {
    const uint32_t s = g.SectorOf(c);
    if (s >= g.sector_count || !taken[s]) out.push_back(c);
  }
  return out;
}

// Old checkpoint: its clusters turn dirty and its sectors (but the area's)
// lose their checkpoint mark.
void RetireCheckpoint(Volume& v, int mode) {
  const Geometry& g = v.geo;
  const uint32_t area_sector = v.cursor == kNone32 ? kNone32 : g.SectorOf(v.cursor);
  uint32_t c = v.checkpoint_first;
  for (uint32_t n = 0; n < v.checkpoint_clusters && c < g.cluster_count; ++n) {
    const uint32_t next = v.clusters[c].link;
    v.clusters[c] = ClusterEntry{kChainEnd, kStateDirty};
    const uint32_t s = g.SectorOf(c);
    if (s != area_sector && (v.sectors[s].flags & kSectorCheckpoint)) {
      v.sectors[s].flags &= uint8_t(~kSectorCheckpoint);
      if (mode == 1) OfferSector(v, s);
    }
    c = next;
  }
  v.checkpoint_first = v.checkpoint_last = kNone32;
  v.checkpoint_clusters = 0;
}

void ApplyPlan(Volume& v, const Plan& plan, const ClusterList& free_list) {
  const Geometry& g = v.geo;
  for (uint32_t s : plan.sectors_taken) {
    for (uint32_t c = g.FirstDataCluster(s); c <= g.LastCluster(s); ++c) {
      v.clusters[c] = ClusterEntry{kChainEnd, kStateDirty};
    }
    v.sectors[s].flags |= kSectorCheckpoint;
  }
  v.SetFreeList(WithoutSectors(g, free_list, plan.sectors_taken));
  uint32_t prev = kStateChainStart;
  for (uint16_t c : plan.clusters) {
    v.clusters[c] = ClusterEntry{kChainEnd, uint16_t(prev)};
    if (prev != kStateChainStart) v.clusters[prev].link = c;
    v.sectors[g.SectorOf(c)].flags |= kSectorCheckpoint;
    prev = c;
  }
  v.cursor = plan.cursor;
  v.checkpoint_first = plan.clusters.front();
  v.checkpoint_last = plan.clusters.back();
  v.checkpoint_clusters = uint32_t(plan.clusters.size());
}

}  // namespace

namespace {

// The chain starting at `first`, bounded by the volume's cluster count.
void FollowChain(const Volume& v, uint32_t first, ClusterList& chain) {
  const Geometry& g = v.geo;
  chain.assign(1, uint16_t(first));
  uint32_t c = v.clusters[first].link;
  while (c < g.cluster_count && chain.size() < g.cluster_count) {
    chain.push_back(uint16_t(c));
    c = v.clusters[c].link;
  }
}

// The size BuildContent's result would have now (with every chain, the
// current checkpoint's among them) for the given list word counts and node
// table bytes.
uint32_t ContentLength(const Volume& v, const ListWords& words, uint32_t node_bytes) {
  const uint64_t bytes = uint64_t(PreludeBytes(v.geo)) + node_bytes;
  // The chain section's closing word besides the counted ones.
  return uint32_t(bytes + 2 * (uint64_t(words.free_words) + words.chain_words + 1));
}

uint32_t EstimateFrom(const Volume& v, const ListWords& words, uint32_t node_bytes) {
  const uint32_t length = ContentLength(v, words, node_bytes);
  return length + SpanAllowance(v.geo, length);
}

}  // namespace

std::vector<ClusterList> CollectChains(const Volume& v, uint32_t skip) {
  const Geometry& g = v.geo;
  std::vector<ClusterList> chains;
  for (uint32_t first = 0; first < g.cluster_count; ++first) {
    if (v.clusters[first].state != kStateChainStart || first == skip) continue;
    chains.emplace_back();
    FollowChain(v, first, chains.back());
  }
  return chains;
}

std::vector<uint8_t> BuildContent(const Volume& v, uint32_t sequence, uint32_t cursor,
                                  const ClusterList& free_list,
                                  const std::vector<ClusterList>& chains, ListWords* counted) {
  const Geometry& g = v.geo;
  auto unusable = [&v](uint32_t s) { return !v.SectorUsable(s); };
  const std::vector<uint16_t> free_words = EncodeFreeList(g, free_list, unusable);
  const std::vector<uint16_t> chain_words = EncodeChains(g, chains);
  if (counted) *counted = ListWords{true, uint32_t(free_words.size()), uint32_t(chain_words.size() - 1)};
  CheckpointPrelude p;
  CheckpointHeader& h = p.header;
  h.sequence = sequence;
  h.slot_count = v.nodes.slot_count();
  h.chain_words = uint32_t(chain_words.size());
  h.next_serial = v.next_serial;
  h.free_head = free_list.empty() ? kNone32 : free_list.front();
  h.free_tail = free_list.empty() ? kNone32 : free_list.back();
  h.free_count = uint32_t(free_list.size());
  h.max_erase = v.max_erase;
  for (const SectorEntry& s : v.sectors) {
    p.erase_counts.push_back(s.erase_count);
    p.read_counts.push_back(s.read_count);
  }
  p.cursor = cursor;
  VectorSink sink;
  sink.data.reserve(v.estimated_length);  // an upper bound of the content
  WritePrelude(sink, g, p);
  for (const auto& page : v.nodes.pages) {
    for (const NodeSlot& slot : page->slots) WriteSlot(sink, g, ToRecord(slot));
  }
  WriteWords(sink, free_words);
  WriteWords(sink, chain_words);
  const uint32_t length = uint32_t(sink.data.size());
  for (int i = 0; i < 4; ++i) sink.data[size_t(i)] = uint8_t(length >> (8 * i));
  return sink.data;
}

uint32_t SpanAllowance(const Geometry& g, uint32_t length) {
  // Clusters of the stream (rounded up, plus the one a content ending at a
  // cluster's end needs for its clean mark); the sectors they can touch are
  // the rest of the area's sector and as many whole sectors again.
  const uint32_t clusters = length / g.cluster_size + 2;
  const uint32_t sectors = clusters / g.DataClustersPerSector() + 2;
  return kRunTokenBytes + sectors * kBytesPerSpannedSector;
}

uint32_t EstimateCheckpointLength(const Volume& v) {
  // The content as it would be written now (the current checkpoint's chain
  // standing in for the next one's), plus what a chain over more sectors and
  // the free list cut around them may add.
  return EstimateFrom(v, CountListWords(v), CountNodeBytes(v));
}

uint32_t RecountCheckpointEstimate(Volume& v) {
  v.list_words = CountListWords(v);
  RecountNodeBytes(v);
  return EstimateFrom(v, v.list_words, v.node_bytes.bytes);
}

uint32_t CheckpointEstimate(Volume& v) {
  if (!v.list_words.known) v.list_words = CountListWords(v);
  if (!v.node_bytes.known) RecountNodeBytes(v);
#ifndef NDEBUG
  const ListWords walked = CountListWords(v);
  assert(walked.free_words == v.list_words.free_words &&
         walked.chain_words == v.list_words.chain_words);
  assert(CountNodeBytes(v) == v.node_bytes.bytes);
#endif
  return EstimateFrom(v, v.list_words, v.node_bytes.bytes);
}

// The clusters file data may still take so that whatever is accepted fits
// the next checkpoint, with S sectors of P clusters, H of them header, so
// per = P - H data clusters a sector and U = S x per usable clusters:
//   used  clusters in file and directory chains;
//   V     sectors in the recycling queue (unusable until erased);
//   L     the upper bound of the next checkpoint's stream, in bytes;
//   K     clusters of the current checkpoint, live until the next commit;
//   A     sectors' worth of clusters not in use (free or dirty outside the
//         queue): at worst one free-list run each;
//   B     clusters a checkpoint written now could need: L, plus a 2-byte
//         word per chain cluster and per run, plus the caller's extra bytes;
//   R     what must stay reserved: room for three such checkpoints in whole
//         sectors (the next commit and those recycling may need before it
//         erases), the queued sectors, one whole free sector for a commit
//         after a power cut, the chains, the current checkpoint but one
//         cluster, and a margin of 1% of U (this host's descriptors reserve
//         no bytes of their own).
// Free = U - R, or 0 (ENOSPC) when nothing is left.
uint32_t FreeClustersForData(Volume& v, uint32_t extra) {
  const Geometry& g = v.geo;
  const int64_t per = g.DataClustersPerSector();
  const int64_t S = g.sector_count, P = g.clusters_per_sector, H = g.header_clusters;
  const int64_t U = S * per;
  const int64_t used = v.used_clusters;
  int64_t V = 0;
  for (uint32_t q : v.recycle_queue) V += q < g.sector_count ? 1 : 0;
  const int64_t L = v.estimated_length;
  const int64_t K = v.checkpoint_clusters;
  const int64_t spare = int64_t(g.cluster_count) - V * P - S * H - used;
  const int64_t A = spare > 0 ? (spare + per - 1) / per : 0;
  const int64_t B = (L + 2 * (used + A) + int64_t(extra) + g.cluster_size - 1) / g.cluster_size;
  const int64_t margin = std::max<int64_t>((U + 99) / 100, 0);
  const int64_t R = ((3 * B + per - 1) / per + V + 1) * per + used + (K - 1) + margin;
  if (R < U) return uint32_t(U - R);
  v.error = FFS_ENOSPC;
  return 0;
}

bool Commit(Volume& v, int mode) {
  const Geometry& g = v.geo;
  NodeSlot* root = v.nodes.Root();
  if (root && root->inode) {
    const int saved = v.error;
    // The root's inode has no data: its tail fill carries the "volume full"
    // bit, 1 when no cluster was free for file data at this commit.
    root->inode->tail_fill = FreeClustersForData(v, 0) == 0 ? kRootVolumeFull : 0;
    v.error = saved;
  }
  if (v.TooManyUnusable()) return false;
  if (v.checkpoint_first != kNone32 && v.clean && !v.SetCleanMark()) return false;

  // Plan where the new checkpoint goes before anything changes, so that a
  // volume without room keeps its old checkpoint intact.
  const ClusterList free_list = v.FreeList();
  std::vector<ClusterList> chains = CollectChains(v, v.checkpoint_first);
  const uint32_t sequence = v.sequence + 1;
  auto unusable = [&v](uint32_t s) { return !v.SectorUsable(s); };
  size_t chain_words = 0;
  for (const ClusterList& chain : chains) chain_words += ChainWordCount(g, chain);
  if (!v.node_bytes.known) RecountNodeBytes(v);
  Plan plan;
  uint32_t n = 1;
  size_t free_words = 0;
  for (int round = 0; round < 16; ++round) {
    const std::vector<uint32_t> taken_before = plan.sectors_taken;
    if (!MakePlan(v, free_list, n, plan)) return false;
    // The content's length with the new checkpoint's own chain and the
    // free list it leaves, counted without encoding anything (the free
    // list's words again only when other sectors were taken).
    if (round == 0 || plan.sectors_taken != taken_before) {
      free_words = FreeListWords(g, WithoutSectors(g, free_list, plan.sectors_taken), unusable);
    }
    const ListWords words{true, uint32_t(free_words),
                          uint32_t(chain_words + ChainWordCount(g, plan.clusters))};
    const uint32_t length = ContentLength(v, words, v.node_bytes.bytes);
    const uint32_t need = StreamClusters(g, plan.clusters.front(), length);
    if (need <= n) break;
    n = need;
  }

  ForgetListWords(v);
  RetireCheckpoint(v, mode);
  ApplyPlan(v, plan, free_list);
  // The content describes the lists as they now stand: its words are the
  // counts the estimates go on from.
  std::vector<uint8_t> content =
      BuildContent(v, sequence, v.cursor, v.FreeList(), CollectChains(v), &v.list_words);
  if (StreamClusters(g, v.checkpoint_first, uint32_t(content.size())) > v.checkpoint_clusters) {
    v.error = FFS_ENOSPC;
    return false;
  }
  StreamWriter writer(g, v, v.checkpoint_first,
                      [&v](uint32_t c) { return uint32_t(v.clusters[c].link); });
  if (!writer.Put(content.data(), content.size()) || !writer.Finish()) {
    if (v.error != FFS_EIO) v.error = FFS_EIO;
    return false;
  }
  // The last cluster of the chain carries the clean mark.
  for (SectorEntry& s : v.sectors) s.flags &= uint8_t(~kSectorStale);
  if (!v.MarkCheckpointStart(v.checkpoint_first)) return false;  // the commit point
  v.sequence = sequence;
  v.stream_length = uint32_t(content.size());
  v.estimated_length = v.stream_length + SpanAllowance(g, v.stream_length);
  v.clean = true;
  v.record->flags |= FFS_VF_COMMITTED;
  v.record->flags &= ~(FFS_VF_CHANGED | FFS_VF_COMMIT_PENDING);
  return true;
}

int Sync(Volume& v, int mode) {
  if (mode == 0) {
    v.record->flags |= FFS_VF_COMMIT_PENDING;
    return 0;
  }
  const bool unmounting = (v.record->flags & FFS_VF_UNMOUNTING) != 0;
  if (!v.recycling && v.Writable() && RecyclingNeeded(v)) {
    // Room for the checkpoint first; a run that fails for lack of space
    // still leaves the commit below to try.
    if (v.cache->Flush() < 0 || (Recycle(v, false) != 0 && v.error != FFS_ENOSPC)) return -1;
    if (v.record->flags & FFS_VF_COMMITTED) return 0;
  }
  const bool flushed = v.cache->Flush() >= 0;
  const bool committed = Commit(v, 1);
  if (!flushed || !committed) return -1;
  if (!v.recycling && !unmounting && RecyclingNeeded(v)) {
    ChooseVictims(v, kChooseWearAware);
    TrimQueue(v);
    if (Recycle(v, false) != 0 && v.error != FFS_ENOSPC) return -1;
  }
  return 0;
}

}  // namespace nor
