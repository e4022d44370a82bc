// The sector header: checkpoint-start bitmap (bit 7 - r % 8 of byte r / 8
// stands for cluster r of the sector; 0 = a checkpoint starts there) and the
// four-byte signature at its end. Bits are only ever cleared.
#pragma once

#include <cstdint>
#include <optional>

#include "ffs/nor/geometry.h"

namespace nor {

// Offset within the sector and value of the byte that marks cluster r
// (sector-relative) as a checkpoint start, given the byte's current value.
struct BitmapByte {
  uint32_t offset;
  uint8_t value;
};
BitmapByte CheckpointStartByte(uint32_t cluster_in_sector, uint8_t current);

// Version 9..13 of a signature, or nothing when the sector is not usable.
std::optional<unsigned> SignatureVersion(const uint8_t signature[4]);

// Offset of the signature within the sector.
inline uint32_t SignatureOffset(const Geometry& g) { return g.HeaderBytes() - 4; }

// Finds the newest checkpoint start recorded in one header cluster (the
// cluster's bytes, header cluster index h). Returns the sector-relative
// cluster, or nothing when no bit of this header cluster is cleared. The
// search starts before the signature in the last header cluster. A cleared
// bit that names no data cluster of the sector reads as nothing.
std::optional<uint32_t> NewestStartInHeaderCluster(const Geometry& g, const uint8_t* cluster,
                                                   uint32_t h);

}  // namespace nor
