// The POSIX-style calls over the control block table. Every call on an open
// block holds the block's semaphore for its whole duration and brackets the
// work with the block's lock and unlock operations; descriptors and handles
// outside the table are refused with EBADF before any block is touched.
#include "ffs/file_api.h"

#include <cstring>

#include "ffs/file_system.h"
#include "ffs/path_resolve.h"
#include "ffs/semaphore.h"

namespace {

// Takes the first free block of the table; its semaphore stays held.
FileControlBlock* AllocateBlock(FileSystem& fs, int errorWhenFull) {
  for (int i = 0; i < FFS_FCB_COUNT; ++i) {
    FileControlBlock* b = ffs_fcb(fs, i);
    ffs_sem_wait(b->sem);
    if (ffs_fcb_is_free(b)) return b;
    ffs_sem_release(b->sem);
  }
  Fail(fs, errorWhenFull);
  return nullptr;
}

void FreeBlock(FileControlBlock* b) {
  ffs_fcb_reset(b, FFS_KIND_FILE);
  ffs_sem_release(b->sem);
}

// The block of an open descriptor or handle with its semaphore taken; null
// (EBADF) when it is outside the table or not in use.
FileControlBlock* TakeOpenBlock(FileSystem& fs, FileControlBlock* b) {
  if (b == nullptr || ffs_fcb_index(fs, b) < 0) return Fail(fs, FFS_EBADF), nullptr;
  ffs_sem_wait(b->sem);
  if (b->handler == nullptr) {
    ffs_sem_release(b->sem);
    return Fail(fs, FFS_EBADF), nullptr;
  }
  return b;
}

std::intptr_t Ptr(const void* p) { return reinterpret_cast<std::intptr_t>(p); }

int LockModeOfAccess(const FileControlBlock* b) {
  return (b->access & (FFS_ACC_WRITE | FFS_ACC_APPEND)) ? FFS_LOCK_OPEN : FFS_LOCK_READ;
}

}  // namespace

FileControlBlock ffs_temporary_block(FileSystem& fs, std::uint32_t kind) {
  FileControlBlock block{};
  block.fs = &fs;
  ffs_fcb_reset(&block, kind);
  return block;
}

std::intptr_t ffs_path_call(FileSystem& fs, const char* path, int what, int lockMode, std::uint32_t kind,
                            int command, std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                            std::intptr_t a4, std::intptr_t a5) {
  FileControlBlock block = ffs_temporary_block(fs, kind);
  const char* rest = path;
  const std::intptr_t entry = ffs_resolve_path(&block, &rest, what, lockMode);
  if (entry == -1) return -1;
  std::intptr_t args[5] = {a1, a2, a3, a4, a5};
  for (std::intptr_t& a : args) {
    if (a == FFS_ARG_NAME) a = Ptr(rest);
    else if (a == FFS_ARG_ENTRY) a = entry;
  }
  if (what == FFS_RESOLVE_PARENT && std::strlen(rest) > FFS_NAME_MAX) {
    block.unlock(&block, lockMode);
    return Fail(fs, FFS_ENAMETOOLONG);
  }
  const std::intptr_t r = block.handler(&block, command, args[0], args[1], args[2], args[3], args[4]);
  block.unlock(&block, lockMode);
  return r;
}

std::intptr_t ffs_fd_call(FileSystem& fs, int fd, int lockMode, int command, std::intptr_t a1, std::intptr_t a2,
                          std::intptr_t a3) {
  FileControlBlock* b = TakeOpenBlock(fs, ffs_fcb(fs, fd));
  if (b == nullptr) return -1;
  b->lock(b, lockMode);
  const std::intptr_t r = b->handler(b, command, a1, a2, a3, 0, 0);
  b->unlock(b, lockMode);
  ffs_sem_release(b->sem);
  return r;
}

int ffs_open(FileSystem& fs, const char* path, int flags, int mode) {
  FileControlBlock* b = AllocateBlock(fs, FFS_EMFILE);
  if (b == nullptr) return -1;
  ffs_fcb_reset(b, FFS_KIND_FILE);
  const int lockMode = flags != 0 ? FFS_LOCK_OPEN : FFS_LOCK_READ;
  const char* name = path;
  const std::intptr_t parent = ffs_resolve_path(b, &name, FFS_RESOLVE_PARENT, lockMode);
  if (parent == -1) {
    FreeBlock(b);
    return -1;
  }
  std::intptr_t r;
  if (std::strlen(name) > FFS_NAME_MAX) {
    r = Fail(fs, FFS_ENAMETOOLONG);
  } else {
    r = b->handler(b, FFS_REQ_OPEN, Ptr(name), flags, (flags & FFS_O_CREAT) ? mode : 0, parent, 0);
  }
  b->unlock(b, lockMode);
  if (r != 0) {
    FreeBlock(b);
    return -1;
  }
  const int fd = ffs_fcb_index(fs, b);
  ffs_fcb_raise_high_mark(fs, fd);
  ffs_sem_release(b->sem);
  return fd;
}

int ffs_close(FileSystem& fs, int fd) {
  FileControlBlock* b = TakeOpenBlock(fs, ffs_fcb(fs, fd));
  if (b == nullptr) return -1;
  const int lockMode = LockModeOfAccess(b);
  b->lock(b, lockMode);
  const std::intptr_t r = b->handler ? b->handler(b, FFS_REQ_CLOSE, 0, 0, 0, 0, 0) : 0;
  b->unlock(b, lockMode + FFS_LOCK_CLOSE);
  FreeBlock(b);
  return static_cast<int>(r);
}

int ffs_read(FileSystem& fs, int fd, void* buffer, std::uint32_t count) {
  if (count == 0) return 0;
  FileControlBlock* b = TakeOpenBlock(fs, ffs_fcb(fs, fd));
  if (b == nullptr) return -1;
  b->lock(b, FFS_LOCK_READ);
  auto* out = static_cast<std::uint8_t*>(buffer);
  int delivered = 0;
  if (b->pushback != 0) {
    *out++ = static_cast<std::uint8_t>(b->pushback & 0xFF);
    b->pushback = 0;
    delivered = 1;
    --count;
  }
  int result = delivered;
  if (count > 0) {
    const int n = b->read ? b->read(b, out, count) : static_cast<int>(Fail(fs, FFS_EBADF));
    if (n == -1) {
      // The pushed-back byte is in the caller's buffer: it is counted.
      result = delivered ? delivered : -1;
      b->last_error = fs.error();
    } else {
      result = delivered + n;
    }
  }
  b->unlock(b, FFS_LOCK_READ);
  ffs_sem_release(b->sem);
  return result;
}

int ffs_write(FileSystem& fs, int fd, const void* buffer, std::uint32_t count) {
  if (count == 0) return 0;
  FileControlBlock* b = TakeOpenBlock(fs, ffs_fcb(fs, fd));
  if (b == nullptr) return -1;
  b->lock(b, FFS_LOCK_WRITE);
  int n = b->write ? b->write(b, buffer, count) : static_cast<int>(Fail(fs, FFS_EBADF));
  if (n < static_cast<int>(count)) {
    b->last_error = fs.error();
    if (n == 0) n = -1;
  }
  b->unlock(b, FFS_LOCK_WRITE);
  ffs_sem_release(b->sem);
  return n;
}

int ffs_mkdir(FileSystem& fs, const char* path, int mode) {
  return static_cast<int>(ffs_path_call(fs, path, FFS_RESOLVE_PARENT, FFS_LOCK_OPEN,
                                        FFS_KIND_DIRECTORY, FFS_REQ_MKDIR, FFS_ARG_NAME,
                                        mode & 0xFFFF, FFS_ARG_ENTRY));
}

FileControlBlock* ffs_opendir(FileSystem& fs, const char* path) {
  FileControlBlock* b = AllocateBlock(fs, FFS_ENOMEM);
  if (b == nullptr) return nullptr;
  ffs_fcb_reset(b, FFS_KIND_DIRECTORY);
  const char* rest = path;
  const std::intptr_t dir = ffs_resolve_path(b, &rest, FFS_RESOLVE_DIRECTORY, FFS_LOCK_READ);
  if (dir == -1) {
    FreeBlock(b);
    return nullptr;
  }
  const std::intptr_t r = b->handler(b, FFS_REQ_OPENDIR, dir, 0, 0, 0, 0);
  b->unlock(b, FFS_LOCK_READ);
  if (r == 0 || r == -1) {
    FreeBlock(b);
    return nullptr;
  }
  ffs_sem_release(b->sem);
  return b;
}

FfsDirent* ffs_readdir(FileSystem& fs, FileControlBlock* dir) {
  FileControlBlock* b = TakeOpenBlock(fs, dir);
  if (b == nullptr) return nullptr;
  b->lock(b, FFS_LOCK_READ);
  const std::intptr_t r = b->handler(b, FFS_REQ_READDIR, 0, 0, 0, 0, 0);
  b->unlock(b, FFS_LOCK_READ);
  ffs_sem_release(b->sem);
  return (r == 0 || r == -1) ? nullptr : reinterpret_cast<FfsDirent*>(r);
}

int ffs_closedir(FileSystem& fs, FileControlBlock* dir) {
  FileControlBlock* b = TakeOpenBlock(fs, dir);
  if (b == nullptr) return -1;
  b->lock(b, FFS_LOCK_OPEN);
  const std::intptr_t r = b->handler(b, FFS_REQ_CLOSEDIR, 0, 0, 0, 0, 0);
  b->unlock(b, FFS_LOCK_OPEN + FFS_LOCK_CLOSE);
  FreeBlock(b);
  return static_cast<int>(r);
}

int ffs_stat(FileSystem& fs, const char* path, FfsStat* out) {
  if (out == nullptr) return static_cast<int>(Fail(fs, FFS_EINVAL));
  return static_cast<int>(ffs_path_call(fs, path, FFS_RESOLVE_OBJECT, FFS_LOCK_READ, FFS_KIND_FILE,
                                        FFS_REQ_STAT, Ptr(path), Ptr(out), FFS_ARG_ENTRY));
}
