// Sector recycling: the reserve that says when space is short, the choice of
// victim sectors (scores weigh reclaimable space against erase and read
// counts), recycling runs that move a victim's live clusters to the free
// head, commit when the last checkpoint still refers to them, erase the
// victim and append it to the free list; the garbage-sector erase of mount
// and the read-limit check. Invariant: a sector is erased only when it holds
// no live cluster and no cluster the newest checkpoint still refers to.
#pragma once

#include <cstdint>

#include "ffs/nor/recovery.h"
#include "ffs/nor/volume.h"

namespace nor {

enum ChoiceMode : int {
  kChooseSpaceOnly = 0,  // after a failed run or while space stays short
  kChooseWearAware = 1,  // after a commit or a completed run
};

// --- recycle_choice.cpp ---
// Clusters the free list must keep: room for the next checkpoint (whole
// sectors), 2, and the used clusters of the queued sectors.
uint32_t RecyclingReserve(const Volume& v);
// Free count at or below the reserve, or at most one sector's clusters.
bool RecyclingNeeded(const Volume& v);
// Score of a candidate in the given mode (the pass counter included).
int64_t VictimScore(const Volume& v, uint32_t sector, int mode);
// Refills the recycling queue with the best candidates; when there are fewer
// than its capacity, the free head's sector is taken off the free list.
void ChooseVictims(Volume& v, int mode);
// A sector that an old checkpoint left (mode-1 commit) or a released chain
// walked out of may take the place of a lower-scored queued sector.
void OfferSector(Volume& v, uint32_t sector);
// While space is short: queue by ascending used clusters, entries holding
// used clusters dropped from its end while it is longer than the sectors the
// current checkpoint spans.
void TrimQueue(Volume& v);
// Queued sectors (entries that name a sector), in queue order.
uint32_t QueuedCount(const Volume& v);
bool IsQueued(const Volume& v, uint32_t sector);

// --- recycle.cpp ---
// A recycling run: passes until enough space; 0, or -1 with the error number
// (ENOSPC when the pass limit is reached or, with check_space, nothing is
// left for file data).
int Recycle(Volume& v, bool check_space);
// The recycling step after writes and before allocations: when space is
// short, the cache is flushed and a run made. 0 or -1.
int RecycleIfNeeded(Volume& v);
// Moves one live cluster to the free head (chain, inode, open files, cache
// entry follow); the source turns dirty and its sector is flagged.
bool MoveCluster(Volume& v, uint32_t source);
// Erases a sector holding only dirty and free clusters and appends it to the
// free list (mount's repair). False only on an I/O failure.
bool EraseGarbageSector(Volume& v, uint32_t sector);
// Recycles every sector whose read count reached the read limit.
bool ReadCheck(Volume& v);

// --- mount's entry points ---
// Recovery step 3: the queue is chosen in mode 1, again in mode 0 when
// recycling is needed.
void ChooseVictimsAtMount(Volume& v);
// Recovery step 7: garbage sectors in ascending order while space is short.
bool EraseGarbageSectorsAtMount(Volume& v);
// Mount step 8 when recycling is needed: trim the queue, recycle with the
// space check (ENOSPC is no failure of the mount).
bool RecycleAtMount(Volume& v, const RecoveryResult& recovery);

}  // namespace nor
