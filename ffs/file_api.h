// The file API's building blocks beyond ffs.h: descriptor allocation, the
// locking protocol, and calls on a path or an open descriptor that the
// further ffs_* calls are made of.
#pragma once

#include "ffs/ffs.h"
#include "ffs/file_control_block.h"

// Runs command on the object a path names: a temporary block of the given
// kind, resolution with lockMode, the handler with (a1..a5) where an argument
// equal to FFS_ARG_NAME is replaced by the remaining name and FFS_ARG_ENTRY by
// the resolved entry; then the unlock with lockMode.
inline constexpr std::intptr_t FFS_ARG_NAME = -0x4E414D45;
inline constexpr std::intptr_t FFS_ARG_ENTRY = -0x454E5452;
std::intptr_t ffs_path_call(FileSystem& fs, const char* path, int what, int lockMode, std::uint32_t kind,
                            int command, std::intptr_t a1 = 0, std::intptr_t a2 = 0,
                            std::intptr_t a3 = 0, std::intptr_t a4 = 0, std::intptr_t a5 = 0);

// Runs command on an open descriptor under its semaphore and lock mode.
std::intptr_t ffs_fd_call(FileSystem& fs, int fd, int lockMode, int command, std::intptr_t a1 = 0,
                          std::intptr_t a2 = 0, std::intptr_t a3 = 0);

// A block outside the table for one call on a path (reset to a kind).
FileControlBlock ffs_temporary_block(FileSystem& fs, std::uint32_t kind);
