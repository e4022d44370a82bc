// Volume registration, format, mount, unmount and removal by name. Every
// failure leaves the all-volumes list, the mounted list and the volume count
// as they were; locks are taken as "fsys sem" then "FFS_SEM".
#include "ffs/volume_table.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "ffs/dispatcher.h"
#include "ffs/file_system.h"
#include "ffs/module_table.h"
#include "ffs/nor/nor.h"
#include "ffs/semaphore.h"

namespace {

constexpr char kWriteSemFormat[] = "FFS_W%03d";
constexpr std::size_t kSemKindIndex = 4;  // 'W' becomes 'R' for the read semaphore
constexpr std::uint32_t kSemCounterWrap = 1000;
constexpr std::uint32_t kMaxClusters = 65531;
constexpr std::uint32_t kMaxCacheSize = 10;
constexpr std::uint32_t kReadLimit = 1000000;
constexpr std::uint32_t kLowReadLimit = 100000;
constexpr std::uint32_t kInodeSize = 36;
constexpr std::uint32_t kLargeClusterSize = 65536;
constexpr std::uint32_t kVersionLowLimitBit = 0x2;

// Skips one leading '/' or '\\'; ENAMETOOLONG beyond 64 characters.
const char* PrepareName(FileSystem& fs, const char* name) {
  if (name == nullptr) return Fail(fs, FFS_EINVAL), nullptr;
  if (*name == '/' || *name == '\\') ++name;
  if (std::strlen(name) > FFS_NAME_MAX) return Fail(fs, FFS_ENAMETOOLONG), nullptr;
  return name;
}

void LinkAll(VolumeLayer& layer, VolumeRecord* v) {
  VolumeRecord* head = &layer.head;
  v->layer = &layer;
  v->all_next = head->all_next;
  v->all_prev = head;
  head->all_next->all_prev = v;
  head->all_next = v;
}

void UnlinkAll(VolumeRecord* v) {
  v->all_prev->all_next = v->all_next;
  v->all_next->all_prev = v->all_prev;
  v->all_next = v->all_prev = nullptr;
}

void FreeRecord(VolumeRecord* v) {
  ffs_sem_delete(v->write_sem);
  ffs_sem_delete(v->read_sem);
  delete v;
}

int CreateVolumeSemaphores(VolumeRecord* v) {
  char name[16];
  std::snprintf(name, sizeof name, kWriteSemFormat, static_cast<int>(v->layer->semaphore_counter));
  v->write_sem = ffs_sem_create(name);
  if (v->write_sem == nullptr) return -1;
  name[kSemKindIndex] = 'R';
  v->read_sem = ffs_sem_create(name);
  if (v->read_sem == nullptr) return -1;
  v->layer->semaphore_counter = (v->layer->semaphore_counter + 1) % kSemCounterWrap;
  return 0;
}

// Cluster size, cluster count, reserve, and the values derived from them.
int ComputeGeometry(VolumeRecord* v) {
  std::uint64_t clusterSize = v->block_size;
  std::uint64_t clusters = std::uint64_t{v->sector_size / v->block_size} * v->sector_count;
  while (clusters > kMaxClusters) {
    clusters /= 2;
    clusterSize *= 2;
  }
  std::uint32_t reserve = v->sector_count / 10;
  if (reserve == 0) reserve = 1;
  if (reserve >= clusterSize / 4) reserve = static_cast<std::uint32_t>(clusterSize / 4);
  v->reserve_count = reserve;
  v->inode_size_estimate = clusterSize < kLargeClusterSize ? kInodeSize : kInodeSize + 1;
  const std::uint64_t perSector = v->sector_size / clusterSize;
  if (perSector == 0) {
    v->cluster_count = 0;
    return Fail(v, FFS_EINVAL);
  }
  v->cluster_size = static_cast<std::uint32_t>(clusterSize);
  v->cluster_count = static_cast<std::uint32_t>(clusters);
  v->blocks_per_cluster = v->cluster_size / v->block_size;
  v->clusters_per_sector = static_cast<std::uint32_t>(perSector);
  v->margin_factor = (v->clusters_per_sector + 3) / v->clusters_per_sector;
  return 0;
}

std::uint32_t FlagsFromOptions(std::uint32_t options, std::uint32_t version) {
  std::uint32_t flags = options & (FFS_OPT_READ_ONLY | FFS_OPT_LOW_READ_LIMIT);
  if (version & kVersionLowLimitBit) flags |= FFS_VF_LOW_READ_LIMIT;
  if (options & FFS_OPT_HOLD_ALLOWED) flags |= FFS_VF_HOLD_ALLOWED;
  if (options & FFS_OPT_400) flags |= FFS_VF_OPTION_400;
  return flags;
}

// Steps 7 to 15 of registration on a record already in the list.
int FillRecord(VolumeRecord* v, const VolumeDescriptor* d) {
  if (CreateVolumeSemaphores(v) != 0) return -1;
  const std::uint32_t versionByte = d->version & 0xFF;
  v->read_limit = (versionByte & kVersionLowLimitBit) ? kLowReadLimit : kReadLimit;
  v->sector_size = d->sector_size;
  v->sector_count = d->sector_count;
  v->start_offset = d->start_offset;
  v->block_size = d->block_size;
  v->device = d->device;
  v->handler = ffs_dispatch;
  v->self = v;
  if (std::strlen(d->name) >= kVolumeNameCapacity) return Fail(v, FFS_ENAMETOOLONG);
  std::strcpy(v->name, d->name);
  if (ComputeGeometry(v) != 0) return -1;
  v->version = static_cast<std::uint8_t>(versionByte);
  v->volume_index = v->layer->volume_count;
  v->flags = FlagsFromOptions(d->options, versionByte);
  if (d->options & FFS_OPT_ERASE_HOOK) v->erase_hook_arg = d->erase_hook_arg;
  v->cache_size = kMaxCacheSize;
  if (d->options & FFS_OPT_CACHE_SIZE) {
    // A cache of no entries could hold no cluster at all: at least one.
    v->cache_size = d->cache_size > kMaxCacheSize ? kMaxCacheSize : d->cache_size;
    if (v->cache_size == 0) v->cache_size = 1;
  }
  v->ref_count = 1;
  if (d->version != FFS_DESCRIPTOR_VERSION) return Fail(v, FFS_EINVAL);
  nor_complete_volume(v, d);
  return 0;
}

bool DescriptorValid(FileSystem& fs, const VolumeDescriptor* d) {
  return d != nullptr && ffs_check_name(fs, d->name, false) == 0 && d->sector_count >= 4 &&
         d->block_size != 0 && d->sector_size % d->block_size == 0 &&
         (d->options & ~FFS_OPT_ALL) == 0 && fs.volumes.sem != nullptr && fs.volumes.Started();
}

}  // namespace

VolumeRecord* ffs_find_volume(FileSystem& fs, const char* name) { return fs.volumes.Find(name); }

VolumeRecord* ffs_mounted_head(FileSystem& fs) { return fs.mounted_head; }

VolumeRecord* ffs_find_mounted(FileSystem& fs, const char* name) {
  for (VolumeRecord* v = fs.mounted_head; v != nullptr; v = v->mount_next)
    if (std::strcmp(v->name, name) == 0) return v;
  return nullptr;
}

void ffs_link_mounted(FileSystem& fs, VolumeRecord* v) {
  v->mount_next = nullptr;
  v->mount_prev = fs.mounted_tail;
  if (fs.mounted_tail) fs.mounted_tail->mount_next = v;
  else fs.mounted_head = v;
  fs.mounted_tail = v;
}

void ffs_unlink_mounted(FileSystem& fs, VolumeRecord* v) {
  if (v->mount_prev) v->mount_prev->mount_next = v->mount_next;
  else fs.mounted_head = v->mount_next;
  if (v->mount_next) v->mount_next->mount_prev = v->mount_prev;
  else fs.mounted_tail = v->mount_prev;
  v->mount_next = v->mount_prev = nullptr;
}

void ffs_release_volume(VolumeRecord* v) {
  if (v->ref_count > 0) --v->ref_count;
  if (v->ref_count == 0) FreeRecord(v);
}

int ffs_add_volume(FileSystem& fs, const VolumeDescriptor* d) {
  if (!DescriptorValid(fs, d)) return Fail(fs, FFS_EINVAL);
  VolumeLayer& layer = fs.volumes;
  FfsSem fsys = ffs_fsys_sem(fs);
  ffs_sem_wait(fsys);
  ffs_sem_wait(layer.sem);
  int result = 0;
  VolumeRecord* v = nullptr;
  if (ffs_ask_modules(fs, FFS_MOD_NAME_CHECK, d->name, nullptr, 0, 0) != 0) {
    result = Fail(fs, FFS_EEXIST);
  } else if (layer.volume_count >= FFS_MAX_VOLUMES) {
    result = Fail(fs, FFS_ENOMEM);
  } else if ((v = new (std::nothrow) VolumeRecord()) == nullptr) {
    result = Fail(fs, FFS_ENOSPC);
  } else {
    LinkAll(layer, v);
    result = FillRecord(v, d);
  }
  ffs_sem_release(layer.sem);
  ffs_sem_release(fsys);
  if (v != nullptr && result != 0) {
    UnlinkAll(v);
    FreeRecord(v);
    return -1;
  }
  if (result != 0) return -1;
  ++layer.volume_count;
  if (d->options & FFS_OPT_MOUNT) return ffs_mount(fs, d->name);
  return 0;
}

int ffs_format(FileSystem& fs, const char* name) {
  name = PrepareName(fs, name);
  if (name == nullptr) return -1;
  FfsSem fsys = ffs_fsys_sem(fs);
  ffs_sem_wait(fsys);
  const std::intptr_t answer = ffs_ask_modules(fs, FFS_MOD_FORMAT, name, nullptr, 0, 0);
  ffs_sem_release(fsys);
  if (answer == 0) return Fail(fs, FFS_ENOENT);
  return answer == 1 ? 0 : static_cast<int>(answer);
}

int ffs_mount(FileSystem& fs, const char* name) {
  name = PrepareName(fs, name);
  if (name == nullptr) return -1;
  FfsSem fsys = ffs_fsys_sem(fs);
  ffs_sem_wait(fsys);
  int result = 0;
  if (ffs_find_mounted(fs, name) != nullptr) {
    result = Fail(fs, FFS_EEXIST);
  } else {
    void* out = nullptr;
    const std::intptr_t answer = ffs_ask_modules(fs, FFS_MOD_MOUNT, name, &out, 0, 1);
    if (answer == 0) result = Fail(fs, FFS_ENOENT);
    else if (answer == -1) result = -1;
    else ffs_link_mounted(fs, reinterpret_cast<VolumeRecord*>(answer));
  }
  ffs_sem_release(fsys);
  return result;
}

int ffs_unmount(FileSystem& fs, const char* name) {
  name = PrepareName(fs, name);
  if (name == nullptr) return -1;
  FfsSem fsys = ffs_fsys_sem(fs);
  ffs_sem_wait(fsys);
  VolumeRecord* v = ffs_find_mounted(fs, name);
  int result = 0;
  if (v == nullptr) {
    result = Fail(fs, FFS_ENXIO);
  } else {
    ffs_unlink_mounted(fs, v);
    if (v->handler(nullptr, FFS_REQ_UNMOUNT, reinterpret_cast<std::intptr_t>(v), 1, 0, 0, 0) != 0)
      result = -1;
  }
  ffs_sem_release(fsys);
  return result;
}

int ffs_remove_volume(FileSystem& fs, const char* name) {
  FfsSem fsys = ffs_fsys_sem(fs);
  ffs_sem_wait(fsys);
  VolumeRecord* v = ffs_find_volume(fs, name);
  if (v == nullptr) {
    ffs_sem_release(fsys);
    return Fail(fs, FFS_ENOENT);
  }
  ffs_sem_wait(fs.volumes.sem);
  int result = 0;
  bool mounted = false;
  for (VolumeRecord* m = fs.mounted_head; m != nullptr; m = m->mount_next) mounted |= (m == v);
  if (mounted) {
    ffs_unlink_mounted(fs, v);
    if (v->handler(nullptr, FFS_REQ_UNMOUNT, reinterpret_cast<std::intptr_t>(v), 1, 0, 0, 0) != 0)
      result = -1;
  }
  // The unmount freed the RAM tables even when its commit failed: the volume
  // goes either way, and the failure (its error number kept) is the result.
  UnlinkAll(v);
  --fs.volumes.volume_count;
  ffs_release_volume(v);
  ffs_sem_release(fs.volumes.sem);
  ffs_sem_release(fsys);
  return result;
}
