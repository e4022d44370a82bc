// The volume table: registration with its checks and geometry, format, mount,
// unmount and removal by name, the name check, and the mounted list.
#pragma once

#include "ffs/ffs.h"

inline constexpr std::uint32_t FFS_MAX_VOLUMES = 16;

// The name check: no '*' or '/', well-formed UTF-8. With allowTrailingSlashes
// the trailing slashes are left out of the test. Sets EINVAL and answers -1
// when the name is refused, else 0.
int ffs_check_name(FileSystem& fs, const char* name, bool allowTrailingSlashes);

// Appends a mount entry at the tail of the mounted list / unlinks it.
void ffs_link_mounted(FileSystem& fs, VolumeRecord* volume);
void ffs_unlink_mounted(FileSystem& fs, VolumeRecord* volume);
VolumeRecord* ffs_find_mounted(FileSystem& fs, const char* name);

// A registered volume by exact name; null when there is none.
VolumeRecord* ffs_find_volume(FileSystem& fs, const char* name);

// Unmounts a mounted volume by name with a final commit; it stays registered.
int ffs_unmount(FileSystem& fs, const char* name);

// Drops one reference on a volume record; the last one frees it.
void ffs_release_volume(VolumeRecord* volume);

// --- The same calls on the default file system ---
// (Not declared inside the file system's own libraries, whose code always
// names the file system it works on.)
#ifndef FFS_EXPLICIT_FILE_SYSTEM
inline int ffs_check_name(const char* name, bool allowTrailingSlashes) {
  return ffs_check_name(ffs_default(), name, allowTrailingSlashes);
}
inline VolumeRecord* ffs_find_volume(const char* name) { return ffs_find_volume(ffs_default(), name); }
inline int ffs_unmount(const char* name) { return ffs_unmount(ffs_default(), name); }
#endif  // FFS_EXPLICIT_FILE_SYSTEM
