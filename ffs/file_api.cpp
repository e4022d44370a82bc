// The POSIX-style calls over the control block table. Every call on an open
// block holds the block's semaphore for its whole duration and brackets the
// work with the block's lock and unlock operations; descriptors and handles
// outside the table are refused with EBADF before any block is touched. A
// volume's block is served by direct calls of the dispatcher's named
// operations and of the file data operations.
#include "ffs/file_api.h"

#include <cstring>

#include "ffs/file_data.h"

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

int LockModeOfAccess(const FileControlBlock* b) {
  return (b->access & (FFS_ACC_WRITE | FFS_ACC_APPEND)) ? FFS_LOCK_OPEN : FFS_LOCK_READ;
}

// A volume's file reads and writes by direct calls of the file data
// operations; a directory block (which refuses with EISDIR) and the
// operations of a host's own through the block.
int ReadData(FileSystem& fs, FileControlBlock* b, void* out, std::uint32_t count) {
  if (b->read == ffsd::FileRead) return ffsd::FileRead(b, out, count);
  return b->read ? b->read(b, out, count) : static_cast<int>(Fail(fs, FFS_EBADF));
}

int WriteData(FileSystem& fs, FileControlBlock* b, const void* data, std::uint32_t count) {
  if (b->write == ffsd::FileWrite) return ffsd::FileWrite(b, data, count);
  return b->write ? b->write(b, data, count) : static_cast<int>(Fail(fs, FFS_EBADF));
}

}  // namespace

FileControlBlock* ffs_take_open_block(FileSystem& fs, FileControlBlock* b) {
  if (b == nullptr || ffs_fcb_index(fs, b) < 0) return Fail(fs, FFS_EBADF), nullptr;
  ffs_sem_wait(b->sem);
  if (b->handler == nullptr) {
    ffs_sem_release(b->sem);
    return Fail(fs, FFS_EBADF), nullptr;
  }
  return b;
}

FileControlBlock ffs_temporary_block(FileSystem& fs, std::uint32_t kind) {
  FileControlBlock block{};
  block.fs = &fs;
  ffs_fcb_reset(&block, kind);
  return block;
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
    const int m = (flags & FFS_O_CREAT) ? mode : 0;
    r = ffs_by_dispatcher(*b) ? ffsd::Open(*b, name, flags, m, ffs_entry(parent))
                              : ffs_ask(*b, FFS_REQ_OPEN, ffs_arg(name), flags, m, parent);
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
  FileControlBlock* b = ffs_take_open_block(fs, ffs_fcb(fs, fd));
  if (b == nullptr) return -1;
  const int lockMode = LockModeOfAccess(b);
  b->lock(b, lockMode);
  const std::intptr_t r = ffs_by_dispatcher(*b) ? ffsd::Close(*b) : ffs_ask(*b, FFS_REQ_CLOSE);
  b->unlock(b, lockMode + FFS_LOCK_CLOSE);
  FreeBlock(b);
  return static_cast<int>(r);
}

int ffs_read(FileSystem& fs, int fd, void* buffer, std::uint32_t count) {
  if (count == 0) return 0;
  FileControlBlock* b = ffs_take_open_block(fs, ffs_fcb(fs, fd));
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
    const int n = ReadData(fs, b, out, count);
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
  FileControlBlock* b = ffs_take_open_block(fs, ffs_fcb(fs, fd));
  if (b == nullptr) return -1;
  b->lock(b, FFS_LOCK_WRITE);
  int n = WriteData(fs, b, buffer, count);
  if (n < static_cast<int>(count)) {
    b->last_error = fs.error();
    if (n == 0) n = -1;
  }
  b->unlock(b, FFS_LOCK_WRITE);
  ffs_sem_release(b->sem);
  return n;
}

int ffs_mkdir(FileSystem& fs, const char* path, int mode) {
  const int m = mode & 0xFFFF;
  return static_cast<int>(ffs_on_path(fs, path, FFS_RESOLVE_PARENT, FFS_LOCK_OPEN, FFS_KIND_DIRECTORY,
                                      [&](FileControlBlock& b, const char* name, std::intptr_t parent) {
                                        return ffs_by_dispatcher(b)
                                                   ? ffsd::Mkdir(b, name, m, ffs_entry(parent))
                                                   : ffs_ask(b, FFS_REQ_MKDIR, ffs_arg(name), m, parent);
                                      }));
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
  const std::intptr_t r =
      ffs_by_dispatcher(*b) ? ffsd::Opendir(*b, ffs_entry(dir)) : ffs_ask(*b, FFS_REQ_OPENDIR, dir);
  b->unlock(b, FFS_LOCK_READ);
  if (r == 0 || r == -1) {
    FreeBlock(b);
    return nullptr;
  }
  ffs_sem_release(b->sem);
  return b;
}

FfsDirent* ffs_readdir(FileSystem& fs, FileControlBlock* dir) {
  FileControlBlock* b = ffs_take_open_block(fs, dir);
  if (b == nullptr) return nullptr;
  b->lock(b, FFS_LOCK_READ);
  const std::intptr_t r = ffs_by_dispatcher(*b) ? ffsd::Readdir(*b) : ffs_ask(*b, FFS_REQ_READDIR);
  b->unlock(b, FFS_LOCK_READ);
  ffs_sem_release(b->sem);
  return (r == 0 || r == -1) ? nullptr : reinterpret_cast<FfsDirent*>(r);
}

int ffs_closedir(FileSystem& fs, FileControlBlock* dir) {
  FileControlBlock* b = ffs_take_open_block(fs, dir);
  if (b == nullptr) return -1;
  b->lock(b, FFS_LOCK_OPEN);
  const std::intptr_t r = ffs_by_dispatcher(*b) ? ffsd::Closedir(*b) : ffs_ask(*b, FFS_REQ_CLOSEDIR);
  b->unlock(b, FFS_LOCK_OPEN + FFS_LOCK_CLOSE);
  FreeBlock(b);
  return static_cast<int>(r);
}

int ffs_stat(FileSystem& fs, const char* path, FfsStat* out) {
  if (out == nullptr) return static_cast<int>(Fail(fs, FFS_EINVAL));
  return static_cast<int>(ffs_on_path(fs, path, FFS_RESOLVE_OBJECT, FFS_LOCK_READ, FFS_KIND_FILE,
                                      [&](FileControlBlock& b, const char*, std::intptr_t entry) {
                                        return ffs_by_dispatcher(b)
                                                   ? ffsd::Stat(b, ffs_entry(entry), out)
                                                   : ffs_ask(b, FFS_REQ_STAT, ffs_arg(path), ffs_arg(out), entry);
                                      }));
}
