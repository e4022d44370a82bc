// The file system's module table and start-up: the core handler, the sector
// manager's volume control and the modules a host adds (device registration).
#pragma once

#include "ffs/ffs.h"

// The core handler: command 0 creates "fsys sem" and sets up the control
// block table and the root block; every other command is not for it.
std::intptr_t ffs_core_handler(int command, const char* name, void* result, int mode, int lock);

// Appends a host module to the table (once). -1 when the table is full.
int ffs_add_module(FsModuleHandler handler);

// Asks every module in table order until one answers non-zero; that answer is
// the result (0 when none answered).
std::intptr_t ffs_ask_modules(int command, const char* name, void* result, int mode, int lock);

// The current directory (a directory entry of a mounted volume) or null.
void* ffs_current_directory();
VolumeRecord* ffs_current_directory_volume();
void ffs_set_current_directory(VolumeRecord* volume, void* entry);
