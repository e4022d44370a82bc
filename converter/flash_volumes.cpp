// FlashVolumes set-up. The image mapping, the device and the volume table are
// not wired in yet: creating the volumes answers failure.
#include "converter/flash_volumes.h"

namespace vorel {

FlashVolumes::~FlashVolumes() = default;

bool FlashVolumes::CreateFlashVolumes(bool /*isPtf*/) {
  mounted_ = false;
  return mounted_;
}

}  // namespace vorel
