// Path resolution in the name space: the volume named by the first component,
// then the volume's own resolution (request 18) for the rest.
#pragma once

#include "ffs/ffs.h"

// Resolves *path for the block. what: FFS_RESOLVE_PARENT (the parent of the
// last component; *path is left at that component), FFS_RESOLVE_DIRECTORY or
// FFS_RESOLVE_OBJECT. On success the volume's handler has locked the block
// with lockMode and the result is the entry found (or the root block for
// "/"); -1 with the error number set on failure, nothing left locked.
std::intptr_t ffs_resolve_path(FileControlBlock* block, const char** path, int what, int lockMode);
