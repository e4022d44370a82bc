// Mount's recycling entry points (see recycle.h): the queue stays as mount
// left it (all entries none) and no sector is erased here yet.
#include "ffs/nor/recycle.h"

namespace nor {

void ChooseVictimsAtMount(Volume&, int) {}

bool EraseGarbageSectorsAtMount(Volume&) { return true; }

bool RecycleAtMount(Volume&, const RecoveryResult&) { return true; }

bool ReadCheck(Volume&) { return true; }

void OfferSector(Volume&, uint32_t) {}

bool RecyclingNeeded(const Volume&) { return false; }

int RecycleIfNeeded(Volume&) { return 0; }

}  // namespace nor
