// The flash file system's public face: error numbers, open flags, command
// codes of the module table and of the volume request handler, the stat and
// directory records and the ffs_* calls (the numbers shared with the sector
// manager come from ffs/nor/errors.h and ffs/nor/volume_record.h). Failures
// answer -1 (or null) with the file system's own error number set
// (ffs_errno), never the host's errno.
#pragma once

#include <cstdint>

#include "ffs/nor/volume_record.h"

class FileSystem;

// Every call exists twice: with a file system as its first argument, and
// without, as a thin function over the default instance (ffs/file_system.h).
FileSystem& ffs_default();

// The error number of a file system.
int ffs_errno(FileSystem& fs);
void ffs_set_errno(FileSystem& fs, int error);

// --- Open flags ---
inline constexpr int FFS_O_RDONLY = 0;
inline constexpr int FFS_O_WRONLY = 1;
inline constexpr int FFS_O_RDWR = 2;
inline constexpr int FFS_O_APPEND = 4;
inline constexpr int FFS_O_CREAT = 8;
inline constexpr int FFS_O_EXCL = 16;
inline constexpr int FFS_O_TRUNC = 32;

// Access bits of a control block.
inline constexpr std::uint32_t FFS_ACC_WRITE = 1;
inline constexpr std::uint32_t FFS_ACC_READ = 2;
inline constexpr std::uint32_t FFS_ACC_APPEND = 8;
inline constexpr std::uint32_t FFS_ACC_FLAG16 = 16;
inline constexpr std::uint32_t FFS_ACC_FLAG32 = 32;
inline constexpr std::uint32_t FFS_KIND_DIRECTORY = 64;
inline constexpr std::uint32_t FFS_KIND_FILE = 128;

// --- Volume request handler commands ---
// Without a control block (volume requests).
inline constexpr int FFS_REQ_HOLD_COMMITS = 11;
inline constexpr int FFS_REQ_RELEASE_COMMITS = 13;
inline constexpr int FFS_REQ_GETCWD = 26;
inline constexpr int FFS_REQ_FILE_ID_NAME = 29;
inline constexpr int FFS_REQ_NAME_IN_USE = 58;
inline constexpr int FFS_REQ_UNMOUNT = 61;
inline constexpr int FFS_REQ_SPACE_CHECK = 63;
inline constexpr int FFS_REQ_COMPACT_NAMES = 64;
inline constexpr int FFS_REQ_VOLUME_STATS = 65;
inline constexpr int FFS_REQ_SYNC_NOW = 66;
// With a control block.
inline constexpr int FFS_REQ_ACCESS = 4;
inline constexpr int FFS_REQ_ATTRIBUTES = 6;
inline constexpr int FFS_REQ_CHDIR = 7;
inline constexpr int FFS_REQ_CHMOD = 8;
inline constexpr int FFS_REQ_CHOWN = 9;
inline constexpr int FFS_REQ_CLOSEDIR = 10;
inline constexpr int FFS_REQ_DUP = 12;
inline constexpr int FFS_REQ_CLOSE = 14;
inline constexpr int FFS_REQ_EOF = 15;
inline constexpr int FFS_REQ_FLUSH = 16;
inline constexpr int FFS_REQ_RESOLVE = 18;
inline constexpr int FFS_REQ_SEEK = 19;
inline constexpr int FFS_REQ_RESTORE_POSITION = 20;
inline constexpr int FFS_REQ_FSTAT_SIZE = 21;
inline constexpr int FFS_REQ_FSTAT = 22;
inline constexpr int FFS_REQ_SET_MODE_TIMES = 23;
inline constexpr int FFS_REQ_TELL = 24;
inline constexpr int FFS_REQ_FTRUNCATE = 25;
inline constexpr int FFS_REQ_GET_FLAGS = 27;
inline constexpr int FFS_REQ_FILE_ID = 28;
inline constexpr int FFS_REQ_LINK = 32;
inline constexpr int FFS_REQ_MKDIR = 33;
inline constexpr int FFS_REQ_OPEN = 35;
inline constexpr int FFS_REQ_OPENDIR = 36;
inline constexpr int FFS_REQ_READDIR = 41;
inline constexpr int FFS_REQ_READDIR_OPEN = 42;
inline constexpr int FFS_REQ_READDIR_STAT = 43;
inline constexpr int FFS_REQ_REMOVE = 44;
inline constexpr int FFS_REQ_RENAME = 45;
inline constexpr int FFS_REQ_RMDIR = 47;
inline constexpr int FFS_REQ_STAT_SIZE = 48;
inline constexpr int FFS_REQ_SET_FLAGS = 52;
inline constexpr int FFS_REQ_SORT_DIR = 54;
inline constexpr int FFS_REQ_STAT = 55;
inline constexpr int FFS_REQ_SET_MODE_TIMES2 = 56;
inline constexpr int FFS_REQ_NOT_OFFERED = 57;
inline constexpr int FFS_REQ_TRUNCATE = 59;
inline constexpr int FFS_REQ_EMPTY_TREE = 60;
inline constexpr int FFS_REQ_SET_TIMES = 62;

// Path resolution targets (command 18).
inline constexpr int FFS_RESOLVE_PARENT = 2;
inline constexpr int FFS_RESOLVE_DIRECTORY = 3;
inline constexpr int FFS_RESOLVE_OBJECT = 4;

// Lock modes of a control block's lock and unlock operations.
inline constexpr int FFS_LOCK_WRITE = 1;
inline constexpr int FFS_LOCK_READ = 2;
inline constexpr int FFS_LOCK_OPEN = 3;
inline constexpr int FFS_LOCK_CLOSE = 0x800;  // added on close

// --- Registration descriptor: version and option bits ---
inline constexpr std::uint32_t FFS_DESCRIPTOR_VERSION = 4;
inline constexpr std::uint32_t FFS_OPT_READ_ONLY = 0x2;
inline constexpr std::uint32_t FFS_OPT_MOUNT = 0x4;
inline constexpr std::uint32_t FFS_OPT_LOW_READ_LIMIT = 0x8;
inline constexpr std::uint32_t FFS_OPT_ERASE_HOOK = 0x10;
inline constexpr std::uint32_t FFS_OPT_CACHE_SIZE = 0x20;
inline constexpr std::uint32_t FFS_OPT_HOLD_ALLOWED = 0x100;
inline constexpr std::uint32_t FFS_OPT_400 = 0x400;
inline constexpr std::uint32_t FFS_OPT_ALL = 0xFFF;

// --- Records returned to callers ---
struct FfsStat {
  std::uint32_t dev;       // always 0
  std::uint32_t ino;       // serial number
  std::uint16_t mode;      // permission bits, +0x4000 for a directory
  std::uint32_t nlink;
  std::uint16_t uid;
  std::uint16_t gid;
  std::uint32_t reserved;  // 0
  std::uint32_t size;
  std::uint32_t atime;     // second time stamp
  std::uint32_t mtime;     // first time stamp
  std::uint32_t ctime;     // first time stamp
};
inline constexpr std::uint16_t FFS_S_IFDIR = 0x4000;

inline constexpr std::uint32_t FFS_NAME_MAX = 64;
struct FfsDirent {
  std::uint32_t unused;  // not filled by a listing
  char name[FFS_NAME_MAX + 1];
};

// Volume statistics (request 65), 32-bit fields in order.
struct FfsVolumeStats {
  std::uint32_t one;
  std::uint32_t cluster_size;
  std::uint32_t usable_clusters;
  std::uint32_t reserved1;
  std::uint32_t free_clusters;
  std::uint32_t reserved2;
  std::uint32_t free_bytes;
  std::uint32_t version;
  std::uint32_t name_pool_fill;
  std::uint32_t name_pool_size;
  std::uint32_t sector_size;
  std::uint32_t sector_count;
  std::uint32_t reserved_sectors;
  std::uint32_t manager_count;
  std::uint32_t name_pool_chunks;
  std::uint32_t name_pool_used;
  std::uint32_t open_file_limit;
  std::uint32_t open_files;
  std::uint32_t free_percent;
};

// --- Module table and start-up ---
// A module handler of the file system's module table. It answers 0 when the
// command is not for it, 1 for success, -1 for failure (error number set) and,
// for mount, the mount entry (the volume record).
// The file system whose table holds the handler is its first argument.
using FsModuleHandler = std::intptr_t (*)(FileSystem& fs, int command, const char* name,
                                          void* result, int mode, int lock);
// The module table: handlers in calling order, ended by a null entry.
inline constexpr int FFS_MODULE_TABLE_MAX = 40;
// The default file system's module table.
extern FsModuleHandler (&FsModuleTable)[FFS_MODULE_TABLE_MAX];

// Runs every module with command 0, then with command 2; clears the current
// directory and sets the owner and group stamped on new files to 0.
int ffs_start(FileSystem& fs);

// Owner and group identifiers of the caller, stamped on new inode records.
std::uint16_t ffs_owner_uid(FileSystem& fs);
std::uint16_t ffs_owner_gid(FileSystem& fs);
void ffs_set_owner(FileSystem& fs, std::uint16_t uid, std::uint16_t gid);

// Clock source of new time stamps.
std::uint32_t ffs_clock();

// --- Volumes ---
int ffs_add_volume(FileSystem& fs, const VolumeDescriptor* descriptor);
int ffs_format(FileSystem& fs, const char* name);
int ffs_mount(FileSystem& fs, const char* name);
int ffs_remove_volume(FileSystem& fs, const char* name);

// Head of the mounted list (null when nothing is mounted).
VolumeRecord* ffs_mounted_head(FileSystem& fs);

// --- Files and directories ---
int ffs_open(FileSystem& fs, const char* path, int flags, int mode);
int ffs_close(FileSystem& fs, int fd);
int ffs_read(FileSystem& fs, int fd, void* buffer, std::uint32_t count);
int ffs_write(FileSystem& fs, int fd, const void* buffer, std::uint32_t count);
int ffs_mkdir(FileSystem& fs, const char* path, int mode);
FileControlBlock* ffs_opendir(FileSystem& fs, const char* path);
FfsDirent* ffs_readdir(FileSystem& fs, FileControlBlock* dir);
int ffs_closedir(FileSystem& fs, FileControlBlock* dir);
int ffs_stat(FileSystem& fs, const char* path, FfsStat* out);

// Mode and the two time stamps set by requests 23 and 56.
struct FfsModeTimes {
  std::uint16_t mode;
  std::uint32_t time1;
  std::uint32_t time2;
};
// A result buffer of requests 26 and 29 (null data: the text is allocated
// with malloc and the caller frees it).
struct FfsPathBuffer {
  char* data;
  std::uint32_t size;
};

// --- Further calls (each one request of the dispatcher) ---
int ffs_unlink(FileSystem& fs, const char* path);
int ffs_rmdir(FileSystem& fs, const char* path);
int ffs_rename(FileSystem& fs, const char* from, const char* to);
int ffs_link(FileSystem& fs, const char* existing, const char* name);
int ffs_truncate(FileSystem& fs, const char* path, std::uint32_t length);
int ffs_chmod(FileSystem& fs, const char* path, int mode);
int ffs_chown(FileSystem& fs, const char* path, int uid, int gid);
int ffs_access(FileSystem& fs, const char* path, int bits);  // 4 read, 2 write, 1 search
int ffs_chdir(FileSystem& fs, const char* path);
char* ffs_getcwd(FileSystem& fs, char* buffer, std::uint32_t size);
int ffs_empty_tree(FileSystem& fs, const char* path);
int ffs_set_times(FileSystem& fs, const char* path, const std::uint32_t* times);  // null: now
int ffs_file_id(FileSystem& fs, const char* path);
int ffs_lseek(FileSystem& fs, int fd, std::int32_t offset, int whence);  // the new position
int ffs_tell(FileSystem& fs, int fd);
int ffs_ftruncate(FileSystem& fs, int fd, std::uint32_t length);
int ffs_fstat(FileSystem& fs, int fd, FfsStat* out);
int ffs_eof(FileSystem& fs, int fd);
int ffs_get_flags(FileSystem& fs, int fd);
int ffs_set_flags(FileSystem& fs, int fd, int flags);
int ffs_dup(FileSystem& fs, int fd);
// Volume requests by volume name.
int ffs_sync(FileSystem& fs, const char* volume);
int ffs_volume_stats(FileSystem& fs, const char* volume, FfsVolumeStats* out);
int ffs_hold_commits(FileSystem& fs, const char* volume);
int ffs_release_commits(FileSystem& fs, const char* volume);
int ffs_compact_names(FileSystem& fs, const char* volume);

// --- The same calls on the default file system ---
// (Not declared inside the file system's own libraries, whose code always
// names the file system it works on.)
#ifndef FFS_EXPLICIT_FILE_SYSTEM
inline int ffs_errno() { return ffs_errno(ffs_default()); }
inline void ffs_set_errno(int error) { ffs_set_errno(ffs_default(), error); }
inline int ffs_start() { return ffs_start(ffs_default()); }
inline std::uint16_t ffs_owner_uid() { return ffs_owner_uid(ffs_default()); }
inline std::uint16_t ffs_owner_gid() { return ffs_owner_gid(ffs_default()); }
inline void ffs_set_owner(std::uint16_t uid, std::uint16_t gid) { ffs_set_owner(ffs_default(), uid, gid); }
inline int ffs_add_volume(const VolumeDescriptor* descriptor) { return ffs_add_volume(ffs_default(), descriptor); }
inline int ffs_format(const char* name) { return ffs_format(ffs_default(), name); }
inline int ffs_mount(const char* name) { return ffs_mount(ffs_default(), name); }
inline int ffs_remove_volume(const char* name) { return ffs_remove_volume(ffs_default(), name); }
inline VolumeRecord* ffs_mounted_head() { return ffs_mounted_head(ffs_default()); }
inline int ffs_open(const char* path, int flags, int mode) { return ffs_open(ffs_default(), path, flags, mode); }
inline int ffs_close(int fd) { return ffs_close(ffs_default(), fd); }
inline int ffs_read(int fd, void* buffer, std::uint32_t count) { return ffs_read(ffs_default(), fd, buffer, count); }
inline int ffs_write(int fd, const void* buffer, std::uint32_t count) { return ffs_write(ffs_default(), fd, buffer, count); }
inline int ffs_mkdir(const char* path, int mode) { return ffs_mkdir(ffs_default(), path, mode); }
inline FileControlBlock* ffs_opendir(const char* path) { return ffs_opendir(ffs_default(), path); }
inline FfsDirent* ffs_readdir(FileControlBlock* dir) { return ffs_readdir(ffs_default(), dir); }
inline int ffs_closedir(FileControlBlock* dir) { return ffs_closedir(ffs_default(), dir); }
inline int ffs_stat(const char* path, FfsStat* out) { return ffs_stat(ffs_default(), path, out); }
inline int ffs_unlink(const char* path) { return ffs_unlink(ffs_default(), path); }
inline int ffs_rmdir(const char* path) { return ffs_rmdir(ffs_default(), path); }
inline int ffs_rename(const char* from, const char* to) { return ffs_rename(ffs_default(), from, to); }
inline int ffs_link(const char* existing, const char* name) { return ffs_link(ffs_default(), existing, name); }
inline int ffs_truncate(const char* path, std::uint32_t length) { return ffs_truncate(ffs_default(), path, length); }
inline int ffs_chmod(const char* path, int mode) { return ffs_chmod(ffs_default(), path, mode); }
inline int ffs_chown(const char* path, int uid, int gid) { return ffs_chown(ffs_default(), path, uid, gid); }
inline int ffs_access(const char* path, int bits) { return ffs_access(ffs_default(), path, bits); }
inline int ffs_chdir(const char* path) { return ffs_chdir(ffs_default(), path); }
inline char* ffs_getcwd(char* buffer, std::uint32_t size) { return ffs_getcwd(ffs_default(), buffer, size); }
inline int ffs_empty_tree(const char* path) { return ffs_empty_tree(ffs_default(), path); }
inline int ffs_set_times(const char* path, const std::uint32_t* times) { return ffs_set_times(ffs_default(), path, times); }
inline int ffs_file_id(const char* path) { return ffs_file_id(ffs_default(), path); }
inline int ffs_lseek(int fd, std::int32_t offset, int whence) { return ffs_lseek(ffs_default(), fd, offset, whence); }
inline int ffs_tell(int fd) { return ffs_tell(ffs_default(), fd); }
inline int ffs_ftruncate(int fd, std::uint32_t length) { return ffs_ftruncate(ffs_default(), fd, length); }
inline int ffs_fstat(int fd, FfsStat* out) { return ffs_fstat(ffs_default(), fd, out); }
inline int ffs_eof(int fd) { return ffs_eof(ffs_default(), fd); }
inline int ffs_get_flags(int fd) { return ffs_get_flags(ffs_default(), fd); }
inline int ffs_set_flags(int fd, int flags) { return ffs_set_flags(ffs_default(), fd, flags); }
inline int ffs_dup(int fd) { return ffs_dup(ffs_default(), fd); }
inline int ffs_sync(const char* volume) { return ffs_sync(ffs_default(), volume); }
inline int ffs_volume_stats(const char* volume, FfsVolumeStats* out) { return ffs_volume_stats(ffs_default(), volume, out); }
inline int ffs_hold_commits(const char* volume) { return ffs_hold_commits(ffs_default(), volume); }
inline int ffs_release_commits(const char* volume) { return ffs_release_commits(ffs_default(), volume); }
inline int ffs_compact_names(const char* volume) { return ffs_compact_names(ffs_default(), volume); }
#endif  // FFS_EXPLICIT_FILE_SYSTEM
