// Commit (writing a checkpoint), sync, and the space the volume can still
// give to file data.
#pragma once

#include <cstdint>
#include <vector>

#include "ffs/nor/list_codec.h"
#include "ffs/nor/volume.h"

namespace nor {

// Every chain of the volume in ascending order of its first cluster,
// optionally leaving out the one that starts at `skip`.
std::vector<ClusterList> CollectChains(const Volume& v, uint32_t skip = kNone32);
// The stream content of a checkpoint of the volume with the given free list
// and chains; its first field carries its own length.
std::vector<uint8_t> BuildContent(const Volume& v, uint32_t sequence, uint32_t cursor,
                                  const ClusterList& free_list,
                                  const std::vector<ClusterList>& chains);
// Checkpoint length estimate (bytes) of the volume as it stands.
uint32_t EstimateCheckpointLength(const Volume& v);
// Clusters still available for file data; 0 with ENOSPC when none.
uint32_t FreeClustersForData(Volume& v, uint32_t extra_bytes);
// Writes a checkpoint; mode 1 also offers the old checkpoint's sectors for
// recycling. False with the error number set (ENOSPC, EIO).
bool Commit(Volume& v, int mode);
// Mode 0 marks a commit as pending; mode 1 flushes the cache and commits.
int Sync(Volume& v, int mode);

}  // namespace nor
