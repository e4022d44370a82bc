// Volume control of the sector manager: starts the volume layer, answers the
// name check and looks volumes up by name. Until the on-flash format is in
// place, mount and format of a registered volume fail with EINVAL.
#include <cstring>

#include "ffs/ffs.h"
#include "ffs/nor/nor.h"
#include "ffs/semaphore.h"

namespace {

constexpr char kVolumeLayerSemName[] = "FFS_SEM";

std::intptr_t StartVolumeLayer() {
  VolumeLayer& layer = ffs_volume_layer();
  if (layer.sem == nullptr) {
    layer.sem = ffs_sem_create(kVolumeLayerSemName);
    if (layer.sem == nullptr) return -1;
  }
  if (layer.head.all_next == nullptr) {  // a second start keeps the registered volumes
    layer.head.all_next = &layer.head;
    layer.head.all_prev = &layer.head;
  }
  return 0;
}

// A registered volume of that name that is not busy in another command.
VolumeRecord* FindIdle(const char* name) {
  VolumeRecord* v = ffs_find_volume(name);
  return (v != nullptr && (v->flags & FFS_VF_BUSY) == 0) ? v : nullptr;
}

}  // namespace

std::intptr_t nor_volume_control(int command, const char* name, void* /*result*/, int /*mode*/,
                                 int /*lock*/) {
  switch (command) {
    case FFS_MOD_INIT:
      return StartVolumeLayer();
    case FFS_MOD_NAME_CHECK:
      if (name != nullptr && ffs_find_volume(name) != nullptr) {
        ffs_set_errno(FFS_EEXIST);
        return -1;
      }
      return 0;
    case FFS_MOD_FORMAT:
    case FFS_MOD_MOUNT:
      if (name == nullptr || FindIdle(name) == nullptr) return 0;
      ffs_set_errno(FFS_EINVAL);
      return -1;
    default:
      return 0;
  }
}

int nor_complete_volume(VolumeRecord* volume, const VolumeDescriptor* descriptor) {
  volume->medium = descriptor->callbacks;
  return 0;
}
