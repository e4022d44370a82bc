// The name-space root: lists the mounted volumes one per call, the cursor
// being the last volume returned; answers status as a directory; refuses
// every other request with EINVAL.
#include "ffs/root_handler.h"

#include <cstring>

#include "ffs/file_system.h"

namespace {

constexpr std::uint16_t kRootMode = 0x41C0;

std::intptr_t ListNext(FileControlBlock* block) {
  auto* last = static_cast<VolumeRecord*>(block->cursor);
  // The cursor may name a volume unmounted since; then the listing ends.
  VolumeRecord* next = ffs_mounted_head(ffs_of(block));
  if (last != nullptr) {
    VolumeRecord* v = next;
    while (v != nullptr && v != last) v = v->mount_next;
    next = v ? v->mount_next : nullptr;
  }
  if (next == nullptr) return 0;
  block->cursor = next;
  block->dirent.unused = 0;
  std::strncpy(block->dirent.name, next->name, FFS_NAME_MAX);
  block->dirent.name[FFS_NAME_MAX] = '\0';
  return reinterpret_cast<std::intptr_t>(&block->dirent);
}

std::intptr_t Status(FileControlBlock* block, FfsStat* out) {
  if (out == nullptr) return Fail(block, FFS_EINVAL);
  std::memset(out, 0, sizeof *out);
  out->mode = kRootMode;
  return 0;
}

}  // namespace

std::intptr_t ffs_root_handler(FileControlBlock* block, int command, std::intptr_t a1,
                               std::intptr_t a2, std::intptr_t, std::intptr_t, std::intptr_t) {
  if (block == nullptr) return Fail(block, FFS_EINVAL);
  switch (command) {
    case FFS_REQ_OPENDIR:
      block->cursor = nullptr;
      return reinterpret_cast<std::intptr_t>(block);
    case FFS_REQ_READDIR:
      return ListNext(block);
    case FFS_REQ_CLOSEDIR:
      return 0;
    case FFS_REQ_FSTAT:
    case FFS_REQ_FSTAT_SIZE:
      return Status(block, reinterpret_cast<FfsStat*>(a1));
    case FFS_REQ_STAT:
    case FFS_REQ_STAT_SIZE:
      return Status(block, reinterpret_cast<FfsStat*>(a2));
    default:
      return Fail(block, FFS_EINVAL);
  }
}
