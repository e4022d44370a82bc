// Recovery at mount: what was written after the newest checkpoint is found
// (clean mark, checkpoint area, free list) and taken out of circulation, and
// files unlinked while open are reclaimed.
#pragma once

#include <cstdint>

#include "ffs/nor/volume.h"

namespace nor {

struct RecoveryResult {
  bool repaired = false;          // written clusters found in the area or on the free list
  uint32_t stored_free_count = 0; // the free count recorded in the checkpoint
  uint32_t stored_free_head = kNone32;
  bool free_count_fell = false;
};

// Recovery steps 1 to 7; false with the error number set on an I/O failure.
bool Recover(Volume& v, int mode, RecoveryResult& result);

// Steps of recovery, exposed for the tests.
void CountUsedClusters(Volume& v);
bool ReadCleanMark(Volume& v);
bool CheckCheckpointArea(Volume& v, bool& repaired);
bool CheckFreeList(Volume& v, bool& repaired);
void ReclaimUnlinkedFiles(Volume& v);
// Cuts the free list behind the free head's sector and re-links every other
// sector whose last cluster is free, in ascending order; recounts.
void RelinkFreeList(Volume& v);

}  // namespace nor
