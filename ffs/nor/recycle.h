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
// Mount step 8 (mode 0, writable volume): recycle when needed, otherwise
// commit when recovery repaired anything; then the read check.
bool AfterMountReclaim(Volume& v, const RecoveryResult& recovery);

}  // namespace nor
