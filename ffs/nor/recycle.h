// The points where mount hands over to sector recycling. Recycling (victim
// choice, passes, garbage-sector erase, the read check) is built as a unit of
// its own; until it is in place these entry points leave the volume as it is,
// which keeps every mounted volume consistent but reclaims no dirty space.
#pragma once

#include "ffs/nor/recovery.h"
#include "ffs/nor/volume.h"

namespace nor {

// Recovery step 3: choose the recycling queue (mode 1, again in mode 0 when
// recycling is needed).
void ChooseVictimsAtMount(Volume& v, int mode);
// Recovery step 7: erase sectors holding only dirty and free clusters while
// recycling is needed, appending each to the free list.
bool EraseGarbageSectorsAtMount(Volume& v);
// Mount step 8 when recycling is needed: sort and trim the queue, the
// half-finished-move check, recycling with the space check.
bool RecycleAtMount(Volume& v, const RecoveryResult& recovery);
// Recycles every sector whose read count reached the read limit.
bool ReadCheck(Volume& v);
// A sector that an old checkpoint left (mode-1 commit) or a released chain
// walked out of may enter the recycling queue.
void OfferSector(Volume& v, uint32_t sector);
// Free count at or below the reserve, or at most one sector's clusters.
bool RecyclingNeeded(const Volume& v);
// Recycling run when space is short; 0 or -1.
int RecycleIfNeeded(Volume& v);

}  // namespace nor
