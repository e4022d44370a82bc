// Format: a fresh, empty volume written over a blank or foreign image, or
// over a mounted volume in place, keeping every erase count it can read.
#pragma once

#include "ffs/nor/volume_record.h"

namespace nor {

// Formats a registered volume; true on success, false with the error
// number set. A volume mounted before stays mounted (and empty).
bool FormatVolume(VolumeRecord* record);

}  // namespace nor
