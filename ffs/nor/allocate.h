// Growing chains and taking node slots: prepare allocation (space and the
// checkpoint estimate), allocate cluster (the free head joins the owner's
// chain), and node slots with compaction of sparse pages.
#pragma once

#include <cstdint>

#include "ffs/nor/volume.h"

namespace nor {

// The checks before a file or directory grows by a cluster; 0 or -1.
int PrepareAllocation(Volume& v, uint32_t size_hint, const NodeSlot* owner);
// Appends the free head to the owner's chain; returns its cache entry
// (state New, zero-filled, use count 1), or null with the error number set.
CacheEntry* AllocateCluster(Volume& v, NodeSlot* inode);
// Takes the first free slot in page order (a new page when none is free);
// the slot is reserved until the caller fills it. Null when memory runs out.
NodeSlot* TakeSlot(Volume& v);
// Returns a slot; with more than 32 slots free and no listing open, the
// sparsest page other than page 0 is emptied into the others.
void ReleaseSlot(Volume& v, NodeSlot& slot, bool listing_open);
// Empties and removes one page (not page 0) when more than 32 slots are free.
bool CompactNodePages(Volume& v);

}  // namespace nor
