// Facts about a mounted volume's clusters that the reports and the check
// both need: the clusters of the newest checkpoint and per-sector counts by
// cluster state. Every walk is bounded by the cluster count.
#pragma once

#include <cstdint>
#include <vector>

#include "ffs/nor/volume.h"

namespace inspect {

// True for each cluster of the checkpoint's own chain.
std::vector<bool> CheckpointClusters(const nor::Volume& v);

struct SectorCounts {
  std::uint32_t used = 0;        // file and directory chains
  std::uint32_t checkpoint = 0;  // the newest checkpoint's clusters
  std::uint32_t dirty = 0;
  std::uint32_t free = 0;
  std::uint32_t header = 0;      // header clusters and unusable ones
};

std::vector<SectorCounts> CountSectors(const nor::Volume& v);

}  // namespace inspect
