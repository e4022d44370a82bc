// The volume table: registration with its checks and geometry, format, mount,
// unmount and removal by name, the name check, and the mounted list.
#pragma once

#include "ffs/ffs.h"

inline constexpr std::uint32_t FFS_MAX_VOLUMES = 16;

// The name check: no '*' or '/', well-formed UTF-8. With allowTrailingSlashes
// the trailing slashes are left out of the test. Sets EINVAL and answers -1
// when the name is refused, else 0.
int ffs_check_name(const char* name, bool allowTrailingSlashes);

// Appends a mount entry at the tail of the mounted list / unlinks it.
void ffs_link_mounted(VolumeRecord* volume);
void ffs_unlink_mounted(VolumeRecord* volume);
VolumeRecord* ffs_find_mounted(const char* name);

// Unmounts a mounted volume by name with a final commit; it stays registered.
int ffs_unmount(const char* name);

// Drops one reference on a volume record; the last one frees it.
void ffs_release_volume(VolumeRecord* volume);

