// Mount's check for a recycling pass that a power cut interrupted after it
// had copied some of a victim's live clusters to the free head.
#pragma once

#include <cstdint>

#include "ffs/nor/volume.h"

namespace nor {

// Searches the region from the free head the checkpoint recorded for copies
// of a sector's live clusters; the sector with the fewest live clusters left
// becomes the queued victim (when it leaves fewer than the queued one) and
// its matched clusters are adopted (`adopted` tells). The caller then
// finishes the pass. False only on an I/O failure.
bool AdoptHalfFinishedMove(Volume& v, uint32_t recorded_head, bool& adopted);

}  // namespace nor
