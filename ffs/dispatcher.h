// The volume request dispatcher: its named operations with typed arguments,
// which the file API calls directly, and ffs_dispatch, the request handler of
// every volume, which maps each command code onto one of them. Each operation
// applies the dispatch rules of its command itself (a block of a mounted
// volume, no I/O error seen, a writable volume for a change; a volume
// request under the volume's semaphores), so both ways in behave alike.
#pragma once

#include "ffs/ffs.h"
#include "ffs/file_control_block.h"

namespace nor {
struct NodeSlot;
}

std::intptr_t ffs_dispatch(FileControlBlock* block, int command, std::intptr_t a1, std::intptr_t a2,
                           std::intptr_t a3, std::intptr_t a4, std::intptr_t a5);

namespace ffsd {

// Operations on a control block (commands 4 to 62). An entry is a directory
// or file entry of the volume's node table, as path resolution answers it.
// Every result is the command's: a value, or -1 with the error number set.
using Entry = nor::NodeSlot;

// Resolution inside the block's volume (18); see path_resolve.h.
std::intptr_t Resolve(FileControlBlock& b, const char** path, int what, bool relative, int lockMode);

// Open files (dispatch_open.cpp).
std::intptr_t Open(FileControlBlock& b, const char* name, int flags, int mode, Entry* parent);
std::intptr_t Close(FileControlBlock& b);
std::intptr_t Dup(FileControlBlock& b);
std::intptr_t Eof(FileControlBlock& b);
std::intptr_t Flush(FileControlBlock& b);
// whence 0 start, 1 current position, 2 end; any other value is refused.
std::intptr_t Seek(FileControlBlock& b, std::int32_t offset, int whence);
std::intptr_t RestorePosition(FileControlBlock& b, const FcbPosition* position);
std::intptr_t Tell(FileControlBlock& b);
std::intptr_t Ftruncate(FileControlBlock& b, std::int64_t length);
std::intptr_t GetFlags(FileControlBlock& b);
std::intptr_t SetFlags(FileControlBlock& b, int flags);

// Directories (dispatch_dir.cpp). Listings answer the block's entry record
// (FfsDirent*), 0 at the end.
std::intptr_t Mkdir(FileControlBlock& b, const char* name, int mode, Entry* parent);
std::intptr_t Opendir(FileControlBlock& b, Entry* dir);
std::intptr_t Readdir(FileControlBlock& b);
std::intptr_t ReaddirStat(FileControlBlock& b);
std::intptr_t ReaddirOpen(FileControlBlock& b, int flags, int* descriptor);
std::intptr_t Closedir(FileControlBlock& b);
std::intptr_t Rmdir(FileControlBlock& b, Entry* dir);
std::intptr_t EmptyTree(FileControlBlock& b, Entry* top);
std::intptr_t SortDir(FileControlBlock& b, Entry* dir, int (*compare)(const char*, const char*));
std::intptr_t Chdir(FileControlBlock& b);

// Names and lengths, by name in the block's directory (dispatch_names.cpp).
std::intptr_t Rename(FileControlBlock& b, const char* oldName, const char* newName, Entry* newDir);
std::intptr_t Link(FileControlBlock& b, const char* name, Entry* dir, Entry* existing);
std::intptr_t Remove(FileControlBlock& b, const char* name);
std::intptr_t Truncate(FileControlBlock& b, const char* name, std::int64_t length);

// Attributes (dispatch_attr.cpp); "Size" variants report a directory's size.
std::intptr_t Access(FileControlBlock& b, const char* name, int bits);
std::intptr_t Attributes(FileControlBlock& b, const char* name, std::uint32_t mask, std::uint32_t* value);
std::intptr_t Chmod(FileControlBlock& b, const char* name, int mode);
std::intptr_t Chown(FileControlBlock& b, const char* name, int uid, int gid);
std::intptr_t Fstat(FileControlBlock& b, FfsStat* out);
std::intptr_t FstatSize(FileControlBlock& b, FfsStat* out);
std::intptr_t Stat(FileControlBlock& b, Entry* entry, FfsStat* out);
std::intptr_t StatSize(FileControlBlock& b, Entry* entry, FfsStat* out);
std::intptr_t SetModeTimes(FileControlBlock& b, const FfsModeTimes* record);
// times: the two time stamps, or null for the clock's.
std::intptr_t SetTimes(FileControlBlock& b, const char* name, const std::uint32_t* times);
std::intptr_t FileId(FileControlBlock& b, const char* name);
std::intptr_t NotOffered(FileControlBlock& b);

// Volume requests (commands 11 to 66, dispatch_volume.cpp).
std::intptr_t HoldCommits(VolumeRecord& v);
std::intptr_t ReleaseCommits(VolumeRecord& v);
// The current directory's path (the file system's, whichever volume asks).
std::intptr_t Getcwd(VolumeRecord& v, char* buffer, std::uint32_t size);
std::intptr_t FileIdName(VolumeRecord& v, std::uint32_t volumeIndex, std::uint32_t serial, bool nameOnly,
                         const FfsPathBuffer* out);
std::intptr_t NameInUse(FileSystem& fs, const char* name);
std::intptr_t Unmount(VolumeRecord& v, bool commit);
std::intptr_t SpaceCheck(VolumeRecord& v);
std::intptr_t CompactNames(VolumeRecord& v);
std::intptr_t VolumeStats(VolumeRecord& v, FfsVolumeStats* out);
std::intptr_t SyncNow(VolumeRecord& v);

}  // namespace ffsd
