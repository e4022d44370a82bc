// The table of file control blocks and the root block. Descriptors are table
// indices; any address outside the table is never treated as a table block.
#include <cstdio>

#include "ffs/file_control_block.h"
#include "ffs/semaphore.h"

namespace {

FileControlBlock g_table[FFS_FCB_COUNT];
FileControlBlock g_root;
int g_highMark = 0;

constexpr char kFcbSemFormat[] = "fcb%05d";

int RejectDirectoryData(FileControlBlock* block) {
  block->last_error = FFS_EISDIR;
  ffs_set_errno(FFS_EISDIR);
  return -1;
}
int DirectoryRead(FileControlBlock* block, void*, std::uint32_t) { return RejectDirectoryData(block); }
int DirectoryWrite(FileControlBlock* block, const void*, std::uint32_t) {
  return RejectDirectoryData(block);
}

}  // namespace

void ffs_fcb_no_lock(FileControlBlock*, int) {}

FileControlBlock* ffs_fcb(int fd) {
  return (fd >= 0 && fd < FFS_FCB_COUNT) ? &g_table[fd] : nullptr;
}

int ffs_fcb_index(const FileControlBlock* block) {
  for (int i = 0; i < FFS_FCB_COUNT; ++i)
    if (block == &g_table[i]) return i;
  return -1;
}

FileControlBlock* ffs_root_block() { return &g_root; }

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

int ffs_fcb_table_start(RequestHandler rootHandler) {
  ffs_fcb_reset(&g_root, FFS_KIND_DIRECTORY);
  g_root.handler = rootHandler;
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    FileControlBlock* block = &g_table[i];
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

int ffs_fcb_high_mark() { return g_highMark; }
void ffs_fcb_raise_high_mark(int fd) {
  if (fd + 1 > g_highMark) g_highMark = fd + 1;
}
