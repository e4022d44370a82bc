// The file system's module table and start-up: the core handler, the sector
// manager's volume control and the modules a host adds (device registration).
#pragma once

#include "ffs/ffs.h"

// The core handler: command 0 creates "fsys sem" and sets up the control
// block table and the root block; every other command is not for it.
std::intptr_t ffs_core_handler(FileSystem& fs, int command, const char* name, void* result,
                               int mode, int lock);
// The sector manager's volume control over the file system's volume layer.
std::intptr_t ffs_nor_module(FileSystem& fs, int command, const char* name, void* result,
                             int mode, int lock);

// Appends a host module to the table (once). -1 when the table is full.
int ffs_add_module(FileSystem& fs, FsModuleHandler handler);

// Asks every module in table order until one answers non-zero; that answer is
// the result (0 when none answered).
std::intptr_t ffs_ask_modules(FileSystem& fs, int command, const char* name, void* result,
                              int mode, int lock);

// The current directory (a directory entry of a mounted volume) or null.
void* ffs_current_directory(FileSystem& fs);
VolumeRecord* ffs_current_directory_volume(FileSystem& fs);
void ffs_set_current_directory(FileSystem& fs, VolumeRecord* volume, void* entry);

// --- The same calls on the default file system ---
// (Not declared inside the file system's own libraries, whose code always
// names the file system it works on.)
#ifndef FFS_EXPLICIT_FILE_SYSTEM
inline int ffs_add_module(FsModuleHandler handler) { return ffs_add_module(ffs_default(), handler); }
inline void* ffs_current_directory() { return ffs_current_directory(ffs_default()); }
inline VolumeRecord* ffs_current_directory_volume() {
  return ffs_current_directory_volume(ffs_default());
}
inline void ffs_set_current_directory(VolumeRecord* volume, void* entry) {
  ffs_set_current_directory(ffs_default(), volume, entry);
}
#endif  // FFS_EXPLICIT_FILE_SYSTEM
