// Volume requests (no control block): commit holds, current directory path,
// file ids to names, name-in-use, unmount, space, name-pool compaction,
// statistics and an immediate sync. Each runs under the volume's semaphores
// (VolumeRequestScope) for its whole length.
#include <cstdlib>
#include <string>
#include <vector>

#include "ffs/dispatch_internal.h"
#include "ffs/module_table.h"
#include "ffs/volume_table.h"

namespace ffsd {
namespace {

constexpr std::uint32_t kNamePoolChunkSize = nor::NamePool::kDefaultChunkSize;

// "/" and the names from the volume root down to entry, joined by "/".
bool PathOf(VolumeRecord* v, const NodeSlot* entry, bool nameOnly, std::string& out) {
  if (nameOnly) {
    out = entry == Root(v) ? v->name : (entry->name ? entry->name : "");
    return true;
  }
  std::vector<const char*> names;
  std::uint32_t steps = LinkLimit(v);
  for (const NodeSlot* e = entry; e != nullptr && e != Root(v); e = e->parent) {
    if (steps-- == 0) return false;
    names.push_back(e->name ? e->name : "");
  }
  out = std::string("/") + v->name;
  for (auto it = names.rbegin(); it != names.rend(); ++it) out += std::string("/") + *it;
  return true;
}

// Copies text into the caller's buffer (ERANGE when too small) or into an
// allocated one; answers the text's address.
std::intptr_t Deliver(VolumeRecord* v, const std::string& text, char* buffer, std::uint32_t size) {
  if (buffer == nullptr) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy == nullptr) return Fail(v, FFS_ENOSPC);
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return Ptr(copy);
  }
  if (text.size() + 1 > size) return Fail(v, FFS_ERANGE);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return Ptr(buffer);
}

template <typename Fn>
void ForEachSlot(VolumeRecord* v, Fn fn) {
  if (v->nor == nullptr) return;
  for (auto& page : v->nor->nodes.pages)
    for (NodeSlot& s : page->slots) fn(s);
}

}  // namespace

std::intptr_t HoldCommits(VolumeRecord& volume) {
  const VolumeRequestScope scope(volume, 0);
  if (scope.Refused()) return -1;
  VolumeRecord* v = &volume;
  if (!(v->flags & FFS_VF_HOLD_ALLOWED)) return 0;
  if (v->hold_count++ == 0) v->flags &= ~FFS_VF_COMMIT_ON_CLOSE;
  return 0;
}

std::intptr_t ReleaseCommits(VolumeRecord& volume) {
  const VolumeRequestScope scope(volume, 0);
  if (scope.Refused()) return -1;
  VolumeRecord* v = &volume;
  if (!(v->flags & FFS_VF_HOLD_ALLOWED) || v->hold_count == 0) return 0;
  if (--v->hold_count > 0) return 0;
  v->flags |= FFS_VF_COMMIT_ON_CLOSE;
  if (!(v->flags & FFS_VF_CHANGED)) return 0;
  v->flags &= ~FFS_VF_CHANGED;
  return Sm(v).sync(v, 1);
}

std::intptr_t Getcwd(VolumeRecord& asked, char* buffer, std::uint32_t size) {
  const VolumeRequestScope scope(asked, kReadsOnly);
  if (scope.Refused()) return -1;
  auto* cwd = static_cast<NodeSlot*>(ffs_current_directory(ffs_of(&asked)));
  VolumeRecord* v = ffs_current_directory_volume(ffs_of(&asked));
  if (cwd == nullptr || v == nullptr) {
    ffs_error_of(&asked) = FFS_EINVAL;
    return 0;
  }
  std::string path;
  if (!PathOf(v, cwd, false, path)) return Fail(v, FFS_EIO);
  return Deliver(v, path, buffer, size);
}

std::intptr_t FileIdName(VolumeRecord& volume, std::uint32_t volumeIndex, std::uint32_t fileSerial,
                         bool nameOnly, const FfsPathBuffer* buffer) {
  const VolumeRequestScope scope(volume, kReadsOnly);
  if (scope.Refused()) return -1;
  VolumeRecord* v = &volume;
  if (volumeIndex != v->volume_index) return 0;
  const std::uint32_t serial = fileSerial & 0xFFFFF;
  const NodeSlot* found = nullptr;
  ForEachSlot(v, [&](const NodeSlot& s) {
    if (found == nullptr && s.IsEntry() && !s.unlinked && s.inode && (s.inode->serial & 0xFFFFF) == serial)
      found = &s;
  });
  if (found == nullptr) return Fail(v, FFS_ENOENT);
  std::string text;
  if (!PathOf(v, found, nameOnly, text)) return Fail(v, FFS_EIO);
  return Deliver(v, text, buffer ? buffer->data : nullptr, buffer ? buffer->size : 0);
}

std::intptr_t NameInUse(FileSystem& fs, const char* name) {
  const VolumeRequestScope scope(fs, nullptr, 0);
  if (name == nullptr) return 0;
  for (VolumeRecord* v = ffs_mounted_head(fs); v != nullptr; v = v->mount_next) {
    bool found = false;
    ForEachSlot(v, [&](const NodeSlot& s) {
      found = found || (s.kind == SlotKind::File && s.name && std::strcmp(s.name, name) == 0);
    });
    if (found) return 1;
  }
  return 0;
}

std::intptr_t Unmount(VolumeRecord& volume, bool commitFirst) {
  const VolumeRequestScope scope(volume, kMayFail | kWhileUnmounted);
  if (scope.Refused()) return -1;
  VolumeRecord* v = &volume;
  if (v->flags & FFS_VF_BUSY) return Fail(v, FFS_EBUSY);
  if (v->nor == nullptr) return 0;
  v->flags |= FFS_VF_UNMOUNTING;
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    FileControlBlock* b = ffs_fcb(ffs_of(v), i);
    if (b->handler == nullptr || b->volume != v) continue;
    CloseBlock(b);
    ffs_fcb_reset(b, FFS_KIND_FILE);
    ffs_release_volume(v);  // the block's reference; the record keeps its own
  }
  const bool commit = commitFirst && !ReadOnly(v) && !(v->flags & FFS_VF_IO_ERROR);
  const std::intptr_t result = Sm(v).unmount(v, commit ? 1 : 0);
  v->flags &= ~(FFS_VF_UNMOUNTING | FFS_VF_CHANGED | FFS_VF_COMMIT_PENDING);
  v->hold_count = 0;
  if (ffs_current_directory_volume(ffs_of(v)) == v) ffs_set_current_directory(ffs_of(v), nullptr, nullptr);
  return result;
}

std::intptr_t SpaceCheck(VolumeRecord& v) {
  const VolumeRequestScope scope(v, kReadsOnly);
  if (scope.Refused()) return -1;
  return Sm(&v).free_clusters(&v);
}

std::intptr_t CompactNames(VolumeRecord& v) {
  const VolumeRequestScope scope(v, 0);
  if (scope.Refused()) return -1;
  v.nor->names.Compact();
  return 0;
}

std::intptr_t VolumeStats(VolumeRecord& volume, FfsVolumeStats* out) {
  const VolumeRequestScope scope(volume, kReadsOnly | kMayFail);
  if (scope.Refused()) return -1;
  VolumeRecord* v = &volume;
  if (out == nullptr) return Fail(v, FFS_EINVAL);
  std::memset(out, 0, sizeof *out);
  out->one = 1;
  out->cluster_size = v->cluster_size;
  out->version = v->version;
  out->sector_size = v->sector_size;
  out->sector_count = v->sector_count;
  out->reserved_sectors = v->reserve_count;
  out->open_file_limit = v->cache_size;
  out->open_files = v->open_files;
  nor::Volume* n = v->nor;
  if (n == nullptr) return 0;
  const nor::Geometry& g = n->geo;
  std::uint32_t checkpointSectors = 0;
  for (const auto& s : n->sectors) checkpointSectors += (s.flags & 0x1) ? 1 : 0;
  const std::uint32_t headers = g.sector_count * g.header_clusters;
  const std::uint32_t usable =
      g.cluster_count - headers -
      std::min(g.cluster_count - headers, checkpointSectors * g.DataClustersPerSector());
  const std::uint32_t data = Sm(v).free_clusters(v);
  out->usable_clusters = usable;
  out->free_clusters = n->free_count;
  out->free_bytes = data * v->cluster_size;
  out->name_pool_fill = n->names.bytes_in_use();
  out->name_pool_size = n->names.chunk_count() * kNamePoolChunkSize;
  out->name_pool_chunks = n->names.chunk_count();
  out->name_pool_used = n->names.bytes_in_use();
  out->free_percent = usable ? static_cast<std::uint32_t>(std::uint64_t{data} * 100 / usable) : 0;
  return 0;
}

// A pending commit is written now too: the answer 0 promises a checkpoint
// on flash that holds every change.
std::intptr_t SyncNow(VolumeRecord& v) {
  const VolumeRequestScope scope(v, 0);
  if (scope.Refused()) return -1;
  return Sm(&v).sync(&v, 1);
}

}  // namespace ffsd
