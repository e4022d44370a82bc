// File control blocks: the fixed table of 10 blocks behind descriptors and
// directory handles, and the root block of the name space. A block is free
// when it has no request handler and no-op lock and unlock operations.
#pragma once

#include <cstdint>

#include "ffs/ffs.h"

// Position of an open file in its cluster chain.
inline constexpr std::uint32_t FFS_POS_END = 0xFFFF;     // next byte needs a new cluster
inline constexpr std::uint32_t FFS_POS_BEYOND = 0xFFFE;  // beyond the data, after a seek
struct FcbPosition {
  std::uint32_t index;    // chain clusters before the position cluster
  std::uint32_t cluster;  // cluster number, FFS_POS_END or FFS_POS_BEYOND
  std::uint32_t offset;   // within the cluster, 0 .. cluster size
  std::uint32_t byte;     // byte position in the file (kept with the cluster position)
};

using FcbLockOp = void (*)(FileControlBlock* block, int mode);
using FcbReadOp = int (*)(FileControlBlock* block, void* buffer, std::uint32_t count);
using FcbWriteOp = int (*)(FileControlBlock* block, const void* buffer, std::uint32_t count);

struct FileControlBlock {
  FileSystem* fs;  // the file system of a table or root block; kept by resets
  FfsSem sem;  // "fcb%05d" for the blocks of the table
  FcbLockOp lock;
  FcbLockOp unlock;
  void* entry;           // directory or file entry of the open object
  VolumeRecord* volume;  // set by path resolution
  void* cursor;          // last entry returned by a directory listing
  RequestHandler handler;  // null: not in use
  FcbReadOp read;
  FcbWriteOp write;
  int pushback;     // non-zero: the next read delivers its low byte first
  int last_error;   // error number of the last failed read or write
  FcbPosition position;
  FcbPosition saved;
  std::uint32_t access;  // FFS_ACC_* of an open file, or the kind after a reset

  // Used by the dispatcher and the data path only.
  void* held;          // cache entry held between calls
  bool written;        // data was written through this block
  FfsDirent dirent;    // record returned by a directory listing
  FfsStat dirstat;     // status filled by a listing with status
};

inline constexpr int FFS_FCB_COUNT = 10;

// The table block of a descriptor; null when the descriptor lies outside it.
FileControlBlock* ffs_fcb(FileSystem& fs, int fd);
// Index of a table block, or -1 for any other address (root or temporary).
int ffs_fcb_index(FileSystem& fs, const FileControlBlock* block);
FileControlBlock* ffs_root_block(FileSystem& fs);

// Resets a block to a kind (FFS_KIND_FILE or FFS_KIND_DIRECTORY).
void ffs_fcb_reset(FileControlBlock* block, std::uint32_t kind);
bool ffs_fcb_is_free(const FileControlBlock* block);
// The lock and unlock operation of a free block.
void ffs_fcb_no_lock(FileControlBlock* block, int mode);

// Sets up the table and the root block (core handler, command 0): every free
// block is reset to a file block and receives its semaphore. -1 on failure.
int ffs_fcb_table_start(FileSystem& fs, RequestHandler rootHandler);

// The highest descriptor in use plus one (only grows).
int ffs_fcb_high_mark(FileSystem& fs);
void ffs_fcb_raise_high_mark(FileSystem& fs, int fd);

// --- The same calls on the default file system ---
// (Not declared inside the file system's own libraries, whose code always
// names the file system it works on.)
#ifndef FFS_EXPLICIT_FILE_SYSTEM
inline FileControlBlock* ffs_fcb(int fd) { return ffs_fcb(ffs_default(), fd); }
inline int ffs_fcb_index(const FileControlBlock* block) { return ffs_fcb_index(ffs_default(), block); }
inline FileControlBlock* ffs_root_block() { return ffs_root_block(ffs_default()); }
inline int ffs_fcb_high_mark() { return ffs_fcb_high_mark(ffs_default()); }
#endif  // FFS_EXPLICIT_FILE_SYSTEM
