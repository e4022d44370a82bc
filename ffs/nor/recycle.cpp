// Mount's recycling entry points (see recycle.h): the queue stays as mount
// left it (all entries none) and no sector is erased here yet.
#include "ffs/nor/recycle.h"

namespace nor {

void ChooseVictimsAtMount(Volume&, int) {}

bool EraseGarbageSectorsAtMount(Volume&) { return true; }

bool AfterMountReclaim(Volume&, const RecoveryResult&) { return true; }

}  // namespace nor
