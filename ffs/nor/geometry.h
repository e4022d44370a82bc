// Volume geometry derived from the device: cluster size, clusters per sector,
// header clusters. Cluster k lies at start + k * cluster_size and belongs to
// sector k / clusters_per_sector; the first header_clusters of a sector hold its header.
#pragma once

#include <cstdint>

namespace nor {

struct Geometry {
  uint32_t sector_size = 0;
  uint32_t block_size = 512;
  uint32_t sector_count = 0;        // S
  uint32_t cluster_size = 0;        // CS
  uint32_t clusters_per_sector = 0; // P
  uint32_t cluster_count = 0;       // N
  uint32_t header_clusters = 0;     // H
  uint32_t start_offset = 0;

  // Derives the cluster layout; false when the device cannot hold a volume.
  static bool Derive(uint32_t sector_size, uint32_t block_size, uint32_t sector_count,
                     uint32_t start_offset, Geometry& out);

  uint32_t SectorOf(uint32_t cluster) const { return cluster / clusters_per_sector; }
  uint32_t FirstDataCluster(uint32_t sector) const {
    return sector * clusters_per_sector + header_clusters;
  }
  uint32_t LastCluster(uint32_t sector) const {
    return sector * clusters_per_sector + clusters_per_sector - 1;
  }
  bool IsHeader(uint32_t cluster) const { return cluster % clusters_per_sector < header_clusters; }
  bool IsLastOfSector(uint32_t cluster) const {
    return cluster % clusters_per_sector == clusters_per_sector - 1;
  }
  // The cluster after c counting upwards and stepping over header clusters.
  uint32_t StepOverHeader(uint32_t cluster) const {
    uint32_t next = cluster + 1;
    return IsHeader(next) ? next + header_clusters : next;
  }
  uint32_t ClusterAddress(uint32_t cluster) const {
    return start_offset + cluster * cluster_size;
  }
  uint32_t SectorAddress(uint32_t sector) const { return start_offset + sector * sector_size; }
  uint32_t HeaderBytes() const { return header_clusters * cluster_size; }
  uint32_t BitmapBytes() const { return (clusters_per_sector + 7) / 8; }
  uint32_t DataClustersPerSector() const { return clusters_per_sector - header_clusters; }
  uint32_t BlocksPerCluster() const { return cluster_size / block_size; }
};

}  // namespace nor
