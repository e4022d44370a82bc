// Moving a live cluster: the target takes the source's place in its chain,
// in the owning inode record and in every open file's positions; the source
// becomes dirty. Used by copy-on-write write-back and by recycling.
#pragma once

#include <cstdint>

#include "ffs/nor/volume.h"

namespace nor {

// Takes the free head off the free list for a rewrite; fails when it is the
// free tail (the last free cluster is never used for data).
bool TakeFreeHead(Volume& v, uint32_t& cluster);
// `target` replaces `source` (links, states, inode words, open files);
// `source` turns dirty and its sector is flagged until the next checkpoint.
void ReplaceCluster(Volume& v, uint32_t source, uint32_t target, NodeSlot* owner);
// The inode record whose chain starts or ends at the cluster, or null.
NodeSlot* InodeOfChainEnd(Volume& v, uint32_t cluster);

}  // namespace nor
