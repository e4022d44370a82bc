// The table of file control blocks and the root block of a file system, and
// how the blocks follow what the sector manager moves. Descriptors are table
// indices; any address outside the table is never treated as a table block.
#include <cstdio>

#include "ffs/file_system.h"
#include "ffs/semaphore.h"

namespace {

constexpr char kFcbSemFormat[] = "fcb%05d";

int RejectDirectoryData(FileControlBlock* block) {
  block->last_error = FFS_EISDIR;
  Fail(block, FFS_EISDIR);
  return -1;
}
int DirectoryRead(FileControlBlock* block, void*, std::uint32_t) { return RejectDirectoryData(block); }
int DirectoryWrite(FileControlBlock* block, const void*, std::uint32_t) {
  return RejectDirectoryData(block);
}

}  // namespace

void ffs_fcb_no_lock(FileControlBlock*, int) {}

FileControlBlock* ffs_fcb(FileSystem& fs, int fd) {
  return (fd >= 0 && fd < FFS_FCB_COUNT) ? &fs.blocks[fd] : nullptr;
}

int ffs_fcb_index(FileSystem& fs, const FileControlBlock* block) {
  for (int i = 0; i < FFS_FCB_COUNT; ++i)
    if (block == &fs.blocks[i]) return i;
  return -1;
}

FileControlBlock* ffs_root_block(FileSystem& fs) { return &fs.root; }

void ffs_fcb_reset(FileControlBlock* block, std::uint32_t kind) {
  block->access = kind;
  if (kind == FFS_KIND_DIRECTORY) {
    block->read = DirectoryRead;
    block->write = DirectoryWrite;
  } else {
    block->read = nullptr;
    block->write = nullptr;
  }
  block->entry = nullptr;
  block->volume = nullptr;
  block->cursor = nullptr;
  block->pushback = 0;
  block->last_error = 0;
  block->position.index = 0;
  block->lock = ffs_fcb_no_lock;
  block->unlock = ffs_fcb_no_lock;
  block->handler = nullptr;
  block->held = nullptr;
  block->written = false;
}

bool ffs_fcb_is_free(const FileControlBlock* block) {
  if (block->handler != nullptr) return false;
  const bool noOps = block->lock == ffs_fcb_no_lock && block->unlock == ffs_fcb_no_lock;
  const bool nullOps = block->lock == nullptr && block->unlock == nullptr;
  return noOps || nullOps;
}

int ffs_fcb_table_start(FileSystem& fs, RequestHandler rootHandler) {
  ffs_fcb_reset(&fs.root, FFS_KIND_DIRECTORY);
  fs.root.handler = rootHandler;
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    FileControlBlock* block = &fs.blocks[i];
    if (ffs_fcb_is_free(block)) ffs_fcb_reset(block, FFS_KIND_FILE);
    if (block->sem == nullptr) {
      char name[16];
      std::snprintf(name, sizeof name, kFcbSemFormat, i);
      block->sem = ffs_sem_create(name);
      if (block->sem == nullptr) return -1;
    }
  }
  return 0;
}

int ffs_fcb_high_mark(FileSystem& fs) { return fs.high_mark; }
void ffs_fcb_raise_high_mark(FileSystem& fs, int fd) {
  if (fd + 1 > fs.high_mark) fs.high_mark = fd + 1;
}

void FileSystem::SlotMoved(const VolumeRecord& volume, const nor::NodeSlot* from, nor::NodeSlot* to) {
  for (FileControlBlock& b : blocks) {
    if (b.volume != &volume) continue;
    if (b.entry == from) b.entry = to;
    if (b.cursor == from) b.cursor = to;
  }
}

void FileSystem::ClusterMoved(const VolumeRecord& volume, std::uint32_t from, std::uint32_t to) {
  for (FileControlBlock& b : blocks) {
    if (b.handler == nullptr || b.volume != &volume) continue;
    if (b.position.cluster == from) b.position.cluster = to;
    if (b.saved.cluster == from) b.saved.cluster = to;
  }
}

void FileSystem::TreeDropped(VolumeRecord& volume) {
  for (FileControlBlock& b : blocks) {
    if (b.handler == nullptr || b.volume != &volume) continue;
    ffs_fcb_reset(&b, FFS_KIND_FILE);
    if (volume.ref_count > 1) --volume.ref_count;
  }
  volume.open_files = 0;
}
