// Per-sector cluster counts and the checkpoint's clusters, from the cluster
// map of a mounted volume; links are followed at most cluster-count times.
#include "imagecheck/cluster_facts.h"

namespace inspect {

std::vector<bool> CheckpointClusters(const nor::Volume& v) {
  const std::uint32_t n = v.geo.cluster_count;
  std::vector<bool> in(n, false);
  std::uint32_t c = v.checkpoint_first;
  for (std::uint32_t steps = 0; c < n && !in[c] && steps < n; ++steps) {
    in[c] = true;
    c = v.clusters[c].link;
  }
  return in;
}

std::vector<SectorCounts> CountSectors(const nor::Volume& v) {
  const nor::Geometry& g = v.geo;
  const std::vector<bool> checkpoint = CheckpointClusters(v);
  std::vector<SectorCounts> out(g.sector_count);
  for (std::uint32_t c = 0; c < g.cluster_count && c < v.clusters.size(); ++c) {
    SectorCounts& s = out[g.SectorOf(c)];
    const std::uint16_t state = v.clusters[c].state;
    if (state == nor::kStateFree) ++s.free;
    else if (state == nor::kStateDirty) ++s.dirty;
    else if (state == nor::kStateUnusable) ++s.header;
    else if (checkpoint[c]) ++s.checkpoint;
    else ++s.used;
  }
  return out;
}

}  // namespace inspect
