// Mount: from the flash image to the RAM tables of a volume, with recovery
// of whatever an interrupted write, commit or erase left behind.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "ffs/nor/checkpoint_codec.h"
#include "ffs/nor/volume.h"

namespace nor {

enum MountMode : int {
  kMountReclaim = 0,    // may reclaim space after recovery
  kMountNoReclaim = 1,  // used by format: no reclaiming
};

// Mounts the volume of a registered record. Returns the RAM state, or null
// with the error number set (every table freed).
std::unique_ptr<Volume> Mount(VolumeRecord* record, int mode);

// Signature scan: returns false with EINVAL (sectors 0 and 1 both unsigned)
// or ENXIO (two unsigned sectors otherwise); `unsigned_sector` receives the
// single unsigned sector, if any.
bool ScanSignatures(Volume& v, std::optional<uint32_t>& unsigned_sector);
// The first cluster of the newest checkpoint, or nothing.
std::optional<uint32_t> FindNewestCheckpoint(Volume& v);
// Reads the checkpoint starting at `first` into the RAM tables (mount steps
// 4 and 5). False with the error number set when it is malformed.
bool LoadCheckpoint(Volume& v, uint32_t first);
// Walks the checkpoint's own chain: sectors flagged, clusters counted.
bool WalkCheckpointChain(Volume& v, uint32_t first);

}  // namespace nor
