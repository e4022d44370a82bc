// Sector header encoding: the checkpoint-start bitmap and the signature.
// The newest start is the last programmed bitmap byte's lowest cleared run.
#include "ffs/nor/sector_header.h"

#include "ffs/nor/on_flash.h"

namespace nor {

BitmapByte CheckpointStartByte(uint32_t r, uint8_t current) {
  return BitmapByte{r / 8, uint8_t(current & ~(1u << (7 - r % 8)))};
}

std::optional<unsigned> SignatureVersion(const uint8_t s[4]) {
  if (s[0] != kSignature[0] || s[1] != kSignature[1]) return std::nullopt;
  if (s[2] < '0' || s[2] > '9' || s[3] < '0' || s[3] > '9') return std::nullopt;
  unsigned version = unsigned(s[2] - '0') * 10 + unsigned(s[3] - '0');
  if (version < kVersionMin || version > kVersionMax) return std::nullopt;
  return version;
}

std::optional<uint32_t> NewestStartInHeaderCluster(const Geometry& g, const uint8_t* cluster,
                                                   uint32_t h) {
  const bool last = h + 1 == g.header_clusters;
  // In the last header cluster skip the signature (search starts 5 bytes
  // before the end); elsewhere start at the cluster's last byte. Bytes
  // beyond the bitmap are erased on every sound sector: stray bits there
  // must not hide the checkpoints the bitmap records.
  uint32_t i = last ? g.cluster_size - 5 : g.cluster_size - 1;
  const uint32_t begin = h * g.cluster_size;
  if (g.BitmapBytes() <= begin) return std::nullopt;
  if (g.BitmapBytes() - begin - 1 < i) i = g.BitmapBytes() - begin - 1;
  for (;;) {
    uint8_t b = cluster[i];
    if (b != kErased) {
      unsigned ones = 0;
      while (ones < 8 && (b & (1u << ones))) ++ones;
      uint32_t index = (h * g.cluster_size + i) * 8 + 7 - ones;
      if (index < g.header_clusters || index >= g.clusters_per_sector) return std::nullopt;
      return index;
    }
    if (i == 0) return std::nullopt;
    --i;
  }
}

}  // namespace nor
