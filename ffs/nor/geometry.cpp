// Geometry derivation: the cluster size doubles while the volume would hold
// more clusters than a 16-bit cluster number can name.
#include "ffs/nor/geometry.h"

#include "ffs/nor/on_flash.h"

namespace nor {

bool Geometry::Derive(uint32_t sector_size, uint32_t block_size, uint32_t sector_count,
                      uint32_t start_offset, Geometry& out) {
  if (block_size == 0 || sector_count < 4 || sector_size < block_size ||
      sector_size % block_size != 0) {
    return false;
  }
  uint64_t cluster_size = block_size;
  uint64_t clusters = uint64_t(sector_size / block_size) * sector_count;
  while (clusters > kMaxClusters) {
    clusters /= 2;
    cluster_size *= 2;
  }
  if (cluster_size > sector_size) return false;
  Geometry g;
  g.sector_size = sector_size;
  g.block_size = block_size;
  g.sector_count = sector_count;
  g.cluster_size = uint32_t(cluster_size);
  g.clusters_per_sector = uint32_t(sector_size / cluster_size);
  g.cluster_count = g.clusters_per_sector * sector_count;
  if (g.cluster_count > kMaxClusters) return false;
  g.header_clusters = uint32_t((g.clusters_per_sector + 32 + 8 * cluster_size - 1) / (8 * cluster_size));
  g.start_offset = start_offset;
  // A sector needs its header plus room for data; the signature must not
  // overlap the checkpoint-start bitmap.
  if (g.header_clusters >= g.clusters_per_sector) return false;
  if (g.BitmapBytes() + kSignatureSize > g.HeaderBytes()) return false;
  out = g;
  return true;
}

}  // namespace nor
