// Volume control of the sector manager: starts the volume layer, answers the
// name check, and mounts, formats, erases and syncs volumes found by name;
// the volume layer a record belongs to.
// Invariant: a volume is marked busy for exactly the span of one command.
#include <cstring>
#include <memory>
#include <optional>

#include "ffs/nor/commit.h"
#include "ffs/nor/format.h"
#include "ffs/nor/mount.h"
#include "ffs/nor/nor.h"
#include "ffs/nor/semaphore.h"

namespace {

constexpr char kVolumeLayerSemName[] = "FFS_SEM";

std::intptr_t StartVolumeLayer(VolumeLayer& layer) {
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

bool Busy(const VolumeRecord* v) { return (v->flags & FFS_VF_BUSY) != 0; }

// A registered volume of that name that is not busy in another command.
VolumeRecord* FindIdle(VolumeLayer& layer, const char* name) {
  VolumeRecord* v = layer.Find(name);
  return (v != nullptr && !Busy(v)) ? v : nullptr;
}

// The first registered volume that is neither mounted nor busy.
VolumeRecord* FirstUnmounted(VolumeLayer& layer) {
  if (layer.head.all_next == nullptr) return nullptr;
  for (VolumeRecord* v = layer.head.all_next; v != &layer.head; v = v->all_next) {
    if (v->nor == nullptr && !Busy(v)) return v;
  }
  return nullptr;
}

// Marks a volume busy for the lifetime of the guard.
class BusyGuard {
 public:
  explicit BusyGuard(VolumeRecord* v) : v_(v) { v_->flags |= FFS_VF_BUSY; }
  ~BusyGuard() { v_->flags &= ~FFS_VF_BUSY; }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  VolumeRecord* v_;
};

// Holds the volume's write and read semaphores when asked to.
class VolumeLocks {
 public:
  VolumeLocks(VolumeRecord* v, bool take) : v_(take ? v : nullptr) {
    if (v_) {
      ffs_sem_wait(v_->write_sem);
      ffs_sem_wait(v_->read_sem);
    }
  }
  ~VolumeLocks() {
    if (v_) {
      ffs_sem_release(v_->read_sem);
      ffs_sem_release(v_->write_sem);
    }
  }
  VolumeLocks(const VolumeLocks&) = delete;
  VolumeLocks& operator=(const VolumeLocks&) = delete;

 private:
  VolumeRecord* v_;
};

std::intptr_t MountVolume(VolumeLayer& layer, const char* name, void* result, int mode, int lock) {
  VolumeRecord* v = name != nullptr ? FindIdle(layer, name) : FirstUnmounted(layer);
  if (v == nullptr || v->nor != nullptr) return 0;  // not ours, busy, or already mounted
  BusyGuard busy(v);
  VolumeLocks locks(v, lock == 1);
  std::unique_ptr<nor::Volume> state = nor::Mount(v, mode);
  if (!state) return -1;
  v->nor = state.release();
  if (result != nullptr) *static_cast<void**>(result) = v;
  return reinterpret_cast<std::intptr_t>(v);
}

// Reads the newest checkpoint's erase counts, then erases every usable
// sector so that the counts carry on.
std::intptr_t EraseAll(VolumeLayer& layer, const char* name) {
  VolumeRecord* v = FindIdle(layer, name);
  if (v == nullptr) return 0;
  int& error = layer.error;
  if (v->flags & FFS_VF_READ_ONLY) return error = FFS_EROFS, -1;
  if (v->nor != nullptr) return error = FFS_EINVAL, -1;
  BusyGuard busy(v);
  nor::Geometry g;
  if (!nor::Volume::GeometryOf(v, g)) return error = FFS_EINVAL, -1;
  nor::Volume state(v, g);
  std::optional<uint32_t> first = nor::FindNewestCheckpoint(state);
  if (!first) {
    if (error != FFS_EIO) error = FFS_EINVAL;
    return -1;
  }
  nor::StreamReader in(g, state, *first);
  nor::CheckpointPrelude prelude;
  if (nor::ReadPrelude(in, g, prelude) != nor::DecodeStatus::Ok) {
    if (error != FFS_EIO) error = FFS_ENXIO;
    return -1;
  }
  state.max_erase = prelude.header.max_erase;
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    state.sectors[s].erase_count = prelude.erase_counts[s];
  }
  for (uint32_t s = 0; s < g.sector_count; ++s) {
    if (state.SectorUsable(s) && !state.EraseSector(s)) return -1;
  }
  return 1;
}

std::intptr_t Format(VolumeLayer& layer, const char* name) {
  VolumeRecord* v = FindIdle(layer, name);
  if (v == nullptr) return 0;
  BusyGuard busy(v);
  return nor::FormatVolume(v) ? 1 : -1;
}

// Syncs every mounted volume with uncommitted changes.
std::intptr_t SyncAll(VolumeLayer& layer) {
  if (layer.head.all_next == nullptr) return 0;
  bool failed = false;
  for (VolumeRecord* v = layer.head.all_next; v != &layer.head; v = v->all_next) {
    if (v->nor == nullptr || Busy(v)) continue;
    // Committed and nothing changed or pending since: nothing to write.
    const std::uint32_t dirty = FFS_VF_CHANGED | FFS_VF_COMMIT_PENDING;
    if ((v->flags & FFS_VF_COMMITTED) && !(v->flags & dirty)) continue;
    BusyGuard busy(v);
    failed |= nor::Sync(*v->nor, 1) != 0;
  }
  return failed ? -1 : 0;
}

}  // namespace

VolumeLayer& nor_default_volume_layer() {
  static VolumeLayer* const layer = new VolumeLayer();  // lives as long as the process
  return *layer;
}

VolumeLayer& nor_layer_of(const VolumeRecord* volume) {
  return volume && volume->layer ? *volume->layer : nor_default_volume_layer();
}

std::intptr_t nor_volume_control(VolumeLayer& layer, int command, const char* name, void* result,
                                 int mode, int lock) {
  switch (command) {
    case FFS_MOD_INIT:
      return StartVolumeLayer(layer);
    case FFS_MOD_NAME_CHECK:
      if (name != nullptr && layer.Find(name) != nullptr) {
        layer.error = FFS_EEXIST;
        return -1;
      }
      return 0;
    case FFS_MOD_MOUNT:
      return MountVolume(layer, name, result, mode, lock);
    case FFS_MOD_ERASE_ALL:
      return name != nullptr ? EraseAll(layer, name) : 0;
    case FFS_MOD_FORMAT:
      return name != nullptr ? Format(layer, name) : 0;
    case FFS_MOD_SYNC_ALL:
      return SyncAll(layer);
    default:
      return 0;
  }
}

int nor_complete_volume(VolumeRecord* volume, const VolumeDescriptor*) {
  volume->nor = nullptr;
  return 0;
}

int nor_unmount(VolumeRecord* volume, int commit) {
  nor::Volume* v = volume->nor;
  if (v == nullptr) return 0;
  int result = 0;
  if (commit && v->Writable() && !(volume->flags & FFS_VF_IO_ERROR)) result = nor::Sync(*v, 1);
  delete v;
  volume->nor = nullptr;
  volume->flags &= ~(FFS_VF_COMMITTED | FFS_VF_CHANGED | FFS_VF_COMMIT_PENDING);
  return result;
}
