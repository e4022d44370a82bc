// Victim choice of sector recycling: the reserve, candidate scores, the
// queue (sorted by descending score; on equal scores the lower-numbered
// sector stays) and the offer of single sectors. Invariant: a queued sector
// never holds the checkpoint or its area and is never on the free list.
#include <algorithm>

#include "ffs/nor/recycle.h"

namespace nor {

namespace {

constexpr int64_t kLagBonus = 0x10000;   // a sector 15 or more erases behind the maximum
constexpr uint32_t kLagErases = 15;
constexpr uint32_t kReserveSpare = 2;
constexpr uint32_t kOfferSkipped = 0xFFFFFFFE;  // queue entry passed over by an offer

bool LastClusterFree(const Volume& v, uint32_t sector) {
  return v.clusters[v.geo.LastCluster(sector)].state == kStateFree;
}

bool Lags(const Volume& v, uint32_t sector) {
  return uint64_t(v.sectors[sector].erase_count) + kLagErases <= v.max_erase;
}

bool Candidate(const Volume& v, uint32_t s) {
  return v.SectorUsable(s) && !(v.sectors[s].flags & kSectorCheckpoint) && !LastClusterFree(v, s);
}

// The free head's sector leaves the free list; its free clusters turn dirty
// and the list goes on in the next sector. Nothing happens when that sector
// is the whole list.
uint32_t TakeFreeHeadSector(Volume& v) {
  const Geometry& g = v.geo;
  if (v.free_head >= g.cluster_count || v.free_tail >= g.cluster_count) return kNone32;
  const uint32_t sector = g.SectorOf(v.free_head);
  if (g.SectorOf(v.free_tail) == sector) return kNone32;
  ForgetListWords(v);
  uint32_t c = v.free_head;
  for (uint32_t steps = 0; steps < g.cluster_count && c < g.cluster_count && g.SectorOf(c) == sector;
       ++steps) {
    const uint32_t next = v.clusters[c].link;
    v.clusters[c] = ClusterEntry{kChainEnd, kStateDirty};
    if (v.free_count > 0) --v.free_count;
    c = next;
  }
  v.free_head = c < g.cluster_count ? c : kNone32;
  return sector;
}

}  // namespace

uint32_t QueuedCount(const Volume& v) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < v.queue_capacity && i < v.recycle_queue.size(); ++i) {
    n += v.recycle_queue[i] < v.geo.sector_count ? 1 : 0;
  }
  return n;
}

bool IsQueued(const Volume& v, uint32_t sector) {
  for (uint32_t i = 0; i < v.queue_capacity && i < v.recycle_queue.size(); ++i) {
    if (v.recycle_queue[i] == sector) return true;
  }
  return false;
}

uint32_t RecyclingReserve(const Volume& v) {
  const Geometry& g = v.geo;
  const uint64_t K = v.checkpoint_clusters;
  uint64_t F = 0;
  if (v.cursor < g.cluster_count) F = g.LastCluster(g.SectorOf(v.cursor)) - v.cursor + 1;
  uint64_t need;
  if (K == 0) need = 1;
  else if (9 * K < F) need = 0;
  else if (F < 3 * K) need = K * 3 - (F / K) * K;
  else need = 1;
  const uint64_t per = g.DataClustersPerSector();
  uint64_t reserve = (need + per - 1) / per * per + kReserveSpare;
  for (uint32_t i = 0; i < v.queue_capacity && i < v.recycle_queue.size(); ++i) {
    const uint32_t s = v.recycle_queue[i];
    if (s < g.sector_count) reserve += v.sectors[s].used;
  }
  return uint32_t(std::min<uint64_t>(reserve, UINT32_MAX));
}

bool RecyclingNeeded(const Volume& v) {
  return v.free_count <= RecyclingReserve(v) || v.free_count <= v.geo.clusters_per_sector;
}

int64_t VictimScore(const Volume& v, uint32_t s, int mode) {
  const SectorEntry& e = v.sectors[s];
  const int64_t P = v.geo.clusters_per_sector;
  const int64_t used = e.used == 0 && (e.flags & kSectorStale) ? 1 : e.used;
  const int64_t E = e.erase_count, M = v.max_erase, Rd = e.read_count;
  int64_t score = (P - used) * (int64_t(v.recycle_passes) + 1) * 16 - E + M;
  if (mode != kChooseWearAware) return score;
  score += Rd;
  if (Lags(v, s)) score += kLagBonus;
  if (Rd >= int64_t(v.record->read_limit)) score += kLagBonus;
  return std::max(score, Rd + (M + used * 8 - E) * 2);
}

void ChooseVictims(Volume& v, int mode) {
  const Geometry& g = v.geo;
  const uint32_t capacity = std::min<uint32_t>(v.queue_capacity, uint32_t(v.recycle_queue.size()));
  std::vector<std::pair<int64_t, uint32_t>> best;  // descending score
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    if (!Candidate(v, s)) continue;
    const int64_t score = VictimScore(v, s, mode);
    if (best.size() == capacity && score <= best.back().first) continue;
    auto at = std::find_if(best.begin(), best.end(),
                           [score](const std::pair<int64_t, uint32_t>& q) { return q.first < score; });
    best.insert(at, {score, s});
    if (best.size() > capacity) best.pop_back();
  }
  for (uint32_t i = 0; i < capacity; ++i) v.recycle_queue[i] = i < best.size() ? best[i].second : kNone32;
  for (uint32_t i = uint32_t(best.size()); i < capacity; ++i) {
    const uint32_t s = TakeFreeHeadSector(v);
    if (s == kNone32) break;
    v.recycle_queue[i] = s;
  }
  v.choice_mode = mode;
}

void OfferSector(Volume& v, uint32_t s) {
  const Geometry& g = v.geo;
  if (s >= g.sector_count || LastClusterFree(v, s) || !v.SectorUsable(s) ||
      (v.sectors[s].flags & kSectorCheckpoint) || IsQueued(v, s)) {
    return;
  }
  auto score = [&v](uint32_t q) {
    const int64_t P = v.geo.clusters_per_sector;
    int64_t r = (P - int64_t(v.sectors[q].used)) * 16 - int64_t(v.sectors[q].erase_count) + v.max_erase;
    return r;
  };
  int64_t offered = score(s);
  const uint32_t positions =
      std::min<uint32_t>((v.queue_capacity * 3 + 3) / 4, uint32_t(v.recycle_queue.size()));
  for (uint32_t i = 0; i < positions; ++i) {
    const uint32_t q = v.recycle_queue[i];
    if (q == kNone32 || q == kOfferSkipped || q >= g.sector_count) continue;
    int64_t queued = score(q);
    if (v.choice_mode == kChooseWearAware && Lags(v, q)) {
      queued += kLagBonus;
      if (Lags(v, s)) offered += kLagBonus;
    }
    if (queued < offered) {
      v.recycle_queue[i] = s;
      return;
    }
  }
}

void TrimQueue(Volume& v) {
  const uint32_t capacity = std::min<uint32_t>(v.queue_capacity, uint32_t(v.recycle_queue.size()));
  std::vector<uint32_t> queued;
  for (uint32_t i = 0; i < capacity; ++i) {
    if (v.recycle_queue[i] < v.geo.sector_count) queued.push_back(v.recycle_queue[i]);
  }
  std::stable_sort(queued.begin(), queued.end(), [&v](uint32_t a, uint32_t b) {
    return v.sectors[a].used < v.sectors[b].used;
  });
  uint32_t spans = 0;
  for (uint32_t s = 0; s < v.geo.sector_count; ++s) spans += (v.sectors[s].flags & kSectorCheckpoint) ? 1 : 0;
  while (!queued.empty() && v.sectors[queued.back()].used > 0 && queued.size() > spans) queued.pop_back();
  for (uint32_t i = 0; i < capacity; ++i) v.recycle_queue[i] = i < queued.size() ? queued[i] : kNone32;
}

}  // namespace nor
