// The host's errno for each of the file system's error numbers, for the hosts
// that hand file-system failures on as host errors (the Python module, the
// FUSE driver). A number without a host twin is EIO.
#pragma once

#include <cerrno>

#include "ffs/ffs.h"

inline int FfsHostErrno(int ffsError) {
  switch (ffsError) {
    case FFS_EPERM: return EPERM;
    case FFS_ENOENT: return ENOENT;
    case FFS_EIO: return EIO;
    case FFS_ENXIO: return ENXIO;
    case FFS_EBADF: return EBADF;
    case FFS_ENOMEM: return ENOMEM;
    case FFS_EACCES: return EACCES;
    case FFS_EBUSY: return EBUSY;
    case FFS_EEXIST: return EEXIST;
    case FFS_ENOTDIR: return ENOTDIR;
    case FFS_EISDIR: return EISDIR;
    case FFS_EINVAL: return EINVAL;
    case FFS_EMFILE: return EMFILE;
    case FFS_ENOSPC: return ENOSPC;
    case FFS_EROFS: return EROFS;
    case FFS_ERANGE: return ERANGE;
    case FFS_ENAMETOOLONG: return ENAMETOOLONG;
    default: return EIO;
  }
}
