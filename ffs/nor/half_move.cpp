// The half-finished-move check at mount: a recycling pass cut short leaves
// copies of a victim's first live clusters behind the free head that the
// checkpoint recorded. Matching copies are adopted (the data programmed
// again completes a copy cut short) and the pass is finished normally, with
// an ordinary commit. Invariant: only clusters recovery made dirty in that
// region are adopted, each at most once, and only for identical data (or,
// for the last copy, data the cut could still have been programming).
#include "ffs/nor/half_move.h"

#include <cstring>
#include <vector>

#include "ffs/nor/chain_move.h"

namespace nor {

namespace {

struct Match {
  uint32_t live;    // the victim's cluster
  uint32_t region;  // its copy
};

// Candidate bytes hold every 1 bit of the live bytes (programming clears bits).
bool Covers(const uint8_t* live, const uint8_t* candidate, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    if ((live[i] & ~candidate[i]) != 0) return false;
  }
  return true;
}

class Region {
 public:
  Region(Volume& v, uint32_t recorded_head) : v_(v) {
    const Geometry& g = v.geo;
    const uint32_t sector = g.SectorOf(recorded_head);
    uint32_t end = g.LastCluster(sector);
    if (v.free_head < g.cluster_count && g.SectorOf(v.free_head) == sector && v.free_head > recorded_head) {
      end = v.free_head - 1;
    }
    for (uint32_t c = recorded_head; c <= end; ++c) {
      if (!g.IsHeader(c) && v.clusters[c].state == kStateDirty) clusters_.push_back(c);
    }
    taken_.assign(clusters_.size(), false);
    data_.resize(clusters_.size() * g.cluster_size);
    ok_ = true;
    for (size_t i = 0; i < clusters_.size() && ok_; ++i) ok_ = v.ReadCluster(clusters_[i], At(i));
  }
  bool ok() const { return ok_; }
  size_t size() const { return clusters_.size(); }
  uint32_t cluster(size_t i) const { return clusters_[i]; }
  bool taken(size_t i) const { return taken_[i]; }
  void Take(size_t i) { taken_[i] = true; }
  void Release(size_t i) { taken_[i] = false; }
  // Equal, or covering when the copy may have been cut short: the cluster
  // just before the current free head, or a sector's last cluster.
  bool Matches(size_t i, const uint8_t* live) const {
    const uint32_t c = clusters_[i], cs = v_.geo.cluster_size;
    if (std::memcmp(live, At(i), cs) == 0) return true;
    const bool last_copy = c + 1 == v_.free_head || v_.geo.IsLastOfSector(c);
    return last_copy && Covers(live, At(i), cs);
  }

 private:
  uint8_t* At(size_t i) { return data_.data() + i * v_.geo.cluster_size; }
  const uint8_t* At(size_t i) const { return data_.data() + i * v_.geo.cluster_size; }
  Volume& v_;
  std::vector<uint32_t> clusters_;
  std::vector<bool> taken_;
  std::vector<uint8_t> data_;
  bool ok_ = false;
};

std::vector<uint32_t> LiveClusters(const Volume& v, uint32_t s) {
  std::vector<uint32_t> live;
  for (uint32_t c = v.geo.FirstDataCluster(s); c <= v.geo.LastCluster(s); ++c) {
    if (v.clusters[c].state < kStateUnusable) live.push_back(c);
  }
  return live;
}

// The run of the sector's live clusters that follows each other in the
// region from where the first one matched; matched region clusters are set
// aside for this search.
bool MatchSector(Volume& v, Region& region, uint32_t s, std::vector<Match>& out) {
  out.clear();
  const std::vector<uint32_t> live = LiveClusters(v, s);
  if (live.empty()) return true;
  std::vector<uint8_t> data(v.geo.cluster_size);
  if (!v.ReadCluster(live[0], data.data())) return false;
  size_t j = 0;
  while (j < region.size() && (region.taken(j) || !region.Matches(j, data.data()))) ++j;
  for (size_t i = 0; i < live.size() && j < region.size(); ++i, ++j) {
    if (i > 0 && !v.ReadCluster(live[i], data.data())) return false;
    if (region.taken(j) || !region.Matches(j, data.data())) break;
    region.Take(j);
    out.push_back(Match{live[i], region.cluster(j)});
  }
  return true;
}

}  // namespace

bool AdoptHalfFinishedMove(Volume& v, uint32_t recorded_head, bool& adopted) {
  adopted = false;
  const Geometry& g = v.geo;
  if (recorded_head >= g.cluster_count) return true;
  Region region(v, recorded_head);
  if (!region.ok()) return false;
  if (region.size() == 0) return true;
  uint32_t best = kNone32;
  size_t best_left = 0, best_matches = 0;
  std::vector<Match> best_list, list;
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    if (!v.SectorUsable(s) || (v.sectors[s].flags & kSectorCheckpoint) ||
        v.clusters[g.LastCluster(s)].state == kStateFree || v.sectors[s].used == 0) {
      continue;
    }
    if (!MatchSector(v, region, s, list)) return false;
    const size_t left = v.sectors[s].used - list.size();
    const bool better = best == kNone32 || left < best_left ||
                        (left == 0 && best_left == 0 && list.size() < best_matches);
    for (const Match& m : (better ? best_list : list)) {
      for (size_t j = 0; j < region.size(); ++j) {
        if (region.cluster(j) == m.region) region.Release(j);
      }
    }
    if (better) {
      best = s;
      best_left = left;
      best_matches = list.size();
      best_list = list;
    }
  }
  if (best == kNone32 || best_list.empty()) return true;
  const uint32_t queued = v.recycle_queue.empty() ? kNone32 : v.recycle_queue[0];
  if (queued < g.sector_count && queued != best && best_left >= v.sectors[queued].used) return true;
  v.recycle_queue[0] = best;
  std::vector<uint8_t> data(g.cluster_size);
  for (const Match& m : best_list) {
    // The copy takes the live cluster's place; programming the data again
    // completes a copy the cut left short.
    if (!v.ReadCluster(m.live, data.data()) || !v.WriteDataCluster(m.region, data.data())) return false;
    ReplaceCluster(v, m.live, m.region, InodeOfChainEnd(v, m.live));
    v.cache->Rekey(m.live, m.region);
    adopted = true;
  }
  return true;
}

}  // namespace nor
