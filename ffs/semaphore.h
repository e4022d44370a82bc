// The file layer's semaphores: the platform's primitives (ffs/nor/semaphore.h)
// and each file system's "fsys sem", which guards module calls, the mounted
// list and the control blocks.
#pragma once

#include "ffs/nor/semaphore.h"

class FileSystem;

// A file system's semaphore "fsys sem" (module calls, mounted list, blocks).
FfsSem ffs_fsys_sem(FileSystem& fs);
