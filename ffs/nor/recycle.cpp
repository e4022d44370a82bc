// Recycling runs: passes move the queued sectors' live clusters to the free
// head, commit when the newest checkpoint still refers to what moved, append
// the victims to the free list and erase them. Also mount's garbage-sector
// erase and the read-limit check. Invariant: a victim is erased only when it
// holds no used cluster, and only after a commit when it carries flag bit 2.
#include "ffs/nor/recycle.h"

#include <algorithm>
#include <vector>

#include "ffs/nor/chain_move.h"
#include "ffs/nor/commit.h"
#include "ffs/nor/half_move.h"

namespace nor {

namespace {

// Marks a recycling run for its duration (commits inside it must not start
// another run).
class RunGuard {
 public:
  explicit RunGuard(Volume& v) : v_(v), outer_(v.recycling) { v.recycling = true; }
  ~RunGuard() { v_.recycling = outer_; }
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

 private:
  Volume& v_;
  bool outer_;
};

bool Unmounting(const Volume& v) { return (v.record->flags & FFS_VF_UNMOUNTING) != 0; }

std::vector<uint32_t> QueuedSectors(const Volume& v) {
  std::vector<uint32_t> out;
  for (uint32_t i = 0; i < v.queue_capacity && i < v.recycle_queue.size(); ++i) {
    if (v.recycle_queue[i] < v.geo.sector_count) out.push_back(v.recycle_queue[i]);
  }
  return out;
}

void ClearQueue(Volume& v) { std::fill(v.recycle_queue.begin(), v.recycle_queue.end(), kNone32); }

// A victim is safe to append and erase: usable, no checkpoint, nothing live,
// nothing on the free list.
bool Erasable(const Volume& v, uint32_t s) {
  const Geometry& g = v.geo;
  if (!v.SectorUsable(s) || (v.sectors[s].flags & kSectorCheckpoint) || v.sectors[s].used != 0) {
    return false;
  }
  for (uint32_t c = g.FirstDataCluster(s); c <= g.LastCluster(s); ++c) {
    if (v.clusters[c].state != kStateDirty) return false;
  }
  return true;
}

// The sector's clusters after its header, free and linked upwards, follow
// the free tail.
void AppendToFreeList(Volume& v, uint32_t s) {
  const Geometry& g = v.geo;
  const uint32_t first = g.FirstDataCluster(s), last = g.LastCluster(s);
  ForgetListWords(v);
  for (uint32_t c = first; c <= last; ++c) {
    v.clusters[c] = ClusterEntry{c < last ? uint16_t(c + 1) : kChainEnd, kStateFree};
  }
  if (v.free_tail < g.cluster_count && v.free_head < g.cluster_count) {
    v.clusters[v.free_tail].link = uint16_t(first);
  } else {
    v.free_head = first;
  }
  v.free_tail = last;
  v.free_count += last - first + 1;
}

bool FinishVictims(Volume& v, bool check_space) {
  std::vector<uint32_t> victims = QueuedSectors(v);
  bool committed = false;
  const bool stale = std::any_of(victims.begin(), victims.end(),
                                 [&v](uint32_t s) { return (v.sectors[s].flags & kSectorStale) != 0; });
  if (stale || Unmounting(v)) {
    if (!Commit(v, 0)) return false;
    committed = true;
  }
  victims.erase(std::remove_if(victims.begin(), victims.end(),
                               [&v](uint32_t s) { return !Erasable(v, s); }),
                victims.end());
  for (uint32_t s : victims) AppendToFreeList(v, s);
  ClearQueue(v);
  for (uint32_t s : victims) {
    if (!v.EraseSector(s)) return false;
  }
  if (check_space && FreeClustersForData(v, 0) == 0) return false;  // ENOSPC
  if (committed && !Commit(v, 0)) return false;
  ChooseVictims(v, kChooseWearAware);
  if (RecyclingNeeded(v)) TrimQueue(v);
  return true;
}

// Whether the commit that must come before the victims' erase still finds
// room once `moves` live clusters went to the free head: behind the area
// cursor, or a whole free sector besides what the moves took (and a cluster
// more on the list).
bool CommitFitsAfterMoves(const Volume& v, uint32_t moves) {
  const Geometry& g = v.geo;
  if (moves >= v.free_count) return false;
  const uint32_t need = v.estimated_length / g.cluster_size + 2;
  if (v.cursor < g.cluster_count && g.LastCluster(g.SectorOf(v.cursor)) - v.cursor + 1 >= need) return true;
  const std::vector<uint16_t> list = v.FreeList();
  for (size_t begin = moves; begin < list.size();) {
    size_t end = begin;
    while (end < list.size() && g.SectorOf(list[end]) == g.SectorOf(list[begin])) ++end;
    if (end - begin == g.DataClustersPerSector() && list.size() - moves > end - begin) return true;
    begin = end;
  }
  return false;
}

uint32_t QueuedMoves(const Volume& v) {
  uint32_t moves = 0;
  for (uint32_t s : QueuedSectors(v)) moves += v.sectors[s].used;
  return moves;
}

bool SpansBeyondArea(const Volume& v) {
  const uint32_t area = v.cursor < v.geo.cluster_count ? v.geo.SectorOf(v.cursor) : kNone32;
  for (uint32_t s = 0; s < v.geo.sector_count; ++s) {
    if ((v.sectors[s].flags & kSectorCheckpoint) && s != area) return true;
  }
  return false;
}

bool Pass(Volume& v, bool check_space) {
  // The live clusters of a sector chosen for wear (or read counts) must fit
  // beside the room the next checkpoint needs; when they do not, space
  // decides alone.
  if (v.free_count < RecyclingReserve(v)) ChooseVictims(v, kChooseSpaceOnly);
  // Moves that would leave no room for the commit before the erase would
  // only spend the free list (after a power cut, the last whole free sector
  // may be all that lets the next commit move the checkpoint and free its
  // old area): the pass is refused, and the caller's commit goes first.
  // A checkpoint that still spans a sector besides its area's gives that
  // sector back once a commit puts the checkpoint wholly into the area: that
  // commit goes first, and the choice is made again.
  if (QueuedMoves(v) > 0 && !CommitFitsAfterMoves(v, QueuedMoves(v)) && SpansBeyondArea(v) &&
      CommitFitsAfterMoves(v, 0)) {
    if (!Commit(v, 1)) return false;
    ChooseVictims(v, kChooseSpaceOnly);
  }
  const uint32_t moves = QueuedMoves(v);
  if (moves > 0 && !CommitFitsAfterMoves(v, moves)) {
    v.error = FFS_ENOSPC;
    return false;
  }
  for (uint32_t s : QueuedSectors(v)) {
    if (v.sectors[s].used == 0) continue;
    const Geometry& g = v.geo;
    for (uint32_t c = g.FirstDataCluster(s); c <= g.LastCluster(s); ++c) {
      if (v.clusters[c].state < kStateUnusable && !MoveCluster(v, c)) return false;
    }
  }
  return FinishVictims(v, check_space);
}

// After a failed pass the queue is chosen again (space only while short).
int FailRun(Volume& v) {
  const int error = v.error;
  ChooseVictims(v, kChooseWearAware);
  if (RecyclingNeeded(v)) ChooseVictims(v, kChooseSpaceOnly);
  v.error = error;
  return -1;
}

}  // namespace

bool MoveCluster(Volume& v, uint32_t source) {
  const Geometry& g = v.geo;
  uint32_t target;
  if (!TakeFreeHead(v, target)) return false;
  std::vector<uint8_t> data(g.cluster_size);
  // The copy goes first: a failed copy leaves the chain where it was.
  if (!v.ReadCluster(source, data.data()) || !v.WriteDataCluster(target, data.data())) {
    v.clusters[target].state = kStateDirty;
    v.clusters[target].link = kChainEnd;
    if (v.free_count > 0) --v.free_count;
    return false;
  }
  if (v.free_count > 0) --v.free_count;
  ReplaceCluster(v, source, target, InodeOfChainEnd(v, source));
  v.cache->Rekey(source, target);
  return true;
}

namespace {

int RunPasses(Volume& v, bool check_space) {
  RunGuard guard(v);
  const uint32_t capacity = std::max<uint32_t>(v.queue_capacity, 1);
  const uint32_t limit = v.geo.sector_count / capacity * 2 + 2;
  v.recycle_passes = 0;
  for (;;) {
    if (!Pass(v, check_space)) {
      v.recycle_passes = 0;
      return FailRun(v);
    }
    if ((!RecyclingNeeded(v) && v.free_count > v.geo.clusters_per_sector) || Unmounting(v)) break;
    if (v.recycle_passes > limit) {
      v.recycle_passes = 0;
      v.error = FFS_ENOSPC;
      return FailRun(v);
    }
    ++v.recycle_passes;
  }
  v.recycle_passes = 0;
  return 0;
}

}  // namespace

int Recycle(Volume& v, bool check_space) {
  if (v.recycling) return 0;
  const int result = RunPasses(v, check_space);
  // Moves split runs and erased victims joined the free list: count afresh.
  const int saved = v.error;
  v.estimated_length = RecountCheckpointEstimate(v);
  v.error = saved;
  return result;
}

int RecycleIfNeeded(Volume& v) {
  if (v.recycling || v.ReadOnly() || !RecyclingNeeded(v)) return 0;
  if (v.cache->Flush() < 0) return -1;
  return Recycle(v, false);
}

bool EraseGarbageSector(Volume& v, uint32_t s) {
  const Geometry& g = v.geo;
  if (!v.Writable() || IsQueued(v, s) || (v.sectors[s].flags & kSectorCheckpoint) ||
      !v.SectorUsable(s) || v.sectors[s].used != 0) {
    return true;
  }
  const uint32_t first = g.FirstDataCluster(s), last = g.LastCluster(s);
  const bool listed = v.clusters[last].state == kStateFree;
  if (listed && v.clusters[first].state == kStateFree) return true;
  bool dirty = false;
  for (uint32_t c = first; c <= last; ++c) {
    if (v.clusters[c].state == kStateDirty) dirty = true;
    else if (v.clusters[c].state != kStateFree) return true;  // not garbage
  }
  if (!dirty) return true;
  if (!v.EraseSector(s)) return false;
  ForgetListWords(v);
  if (listed) {
    // The sector's free tail is on the list: the whole sector becomes free
    // from its first cluster on (the list is relinked after the repair).
    for (uint32_t c = first; c <= last; ++c) {
      if (v.clusters[c].state == kStateDirty) {
        v.clusters[c] = ClusterEntry{kChainEnd, kStateFree};
        ++v.free_count;
      }
    }
    if (g.SectorOf(v.free_head) == s) v.free_head = first;
  } else {
    for (uint32_t c = first; c <= last; ++c) v.clusters[c].state = kStateDirty;
    AppendToFreeList(v, s);
  }
  return true;
}

bool ReadCheck(Volume& v) {
  if (!v.Writable()) return true;
  const Geometry& g = v.geo;
  // Each round erases the sector it recycles, which resets its read count;
  // the rounds are bounded by the sector count.
  for (uint32_t round = 0; round <= g.sector_count; ++round) {
    uint32_t due = kNone32;
    for (uint32_t s = 0; s < g.sector_count && due == kNone32; ++s) {
      const SectorEntry& e = v.sectors[s];
      if (v.SectorUsable(s) && !(e.flags & kSectorCheckpoint) && e.used > 0 &&
          e.read_count >= v.record->read_limit) {
        due = s;
      }
    }
    if (due == kNone32) return true;
    ChooseVictims(v, kChooseWearAware);
    TrimQueue(v);
    if (v.cache->Flush() < 0 || Recycle(v, false) != 0) return false;
    // A sector the run did not take stays as it is until the next check.
    if (v.sectors[due].read_count >= v.record->read_limit) return true;
  }
  return true;
}

void ChooseVictimsAtMount(Volume& v) {
  ChooseVictims(v, kChooseWearAware);
  if (RecyclingNeeded(v)) ChooseVictims(v, kChooseSpaceOnly);
}

bool EraseGarbageSectorsAtMount(Volume& v) {
  for (uint32_t s = 0; s < v.geo.sector_count && RecyclingNeeded(v); ++s) {
    if (!EraseGarbageSector(v, s)) return false;
  }
  return true;
}

bool RecycleAtMount(Volume& v, const RecoveryResult& recovery) {
  TrimQueue(v);
  // A pass cut short leaves copies behind the free head the checkpoint
  // recorded: they are adopted, and the pass finishes with a commit.
  const uint32_t head = recovery.stored_free_head;
  bool adopted = false;
  if (v.free_count < RecyclingReserve(v) && recovery.free_count_fell && head < v.geo.cluster_count &&
      v.clusters[head].state != kStateFree && !AdoptHalfFinishedMove(v, head, adopted)) {
    return false;
  }
  if (!adopted && (FreeClustersForData(v, 0) == 0 || !RecyclingNeeded(v))) {
    v.error = 0;
    return true;
  }
  if (Recycle(v, true) != 0 && v.error != FFS_ENOSPC) return false;
  v.error = 0;
  return true;
}

}  // namespace nor
