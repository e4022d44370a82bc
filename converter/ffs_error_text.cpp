// The error numbers of ffs/ffs.h in words a user understands; the volume's
// own limits (name length, free space) are said as such.
#include "converter/ffs_error_text.h"

#include "ffs/ffs.h"

namespace vorel {

std::string FfsErrorText(int error) {
  switch (error) {
    case FFS_EPERM: return "operation not permitted";
    case FFS_ENOENT: return "no such file or directory";
    case FFS_EIO: return "input/output error";
    case FFS_ENXIO: return "no such volume";
    case FFS_EBADF: return "bad file descriptor";
    case FFS_ENOMEM: return "out of memory";
    case FFS_EACCES: return "permission denied";
    case FFS_EBUSY: return "busy";
    case FFS_EEXIST: return "already exists";
    case FFS_ENOTDIR: return "not a directory";
    case FFS_EISDIR: return "is a directory";
    case FFS_EINVAL: return "invalid argument";
    case FFS_EMFILE: return "too many open files";
    case FFS_ENOSPC: return "volume full";
    case FFS_EROFS: return "read-only volume";
    case FFS_ERANGE: return "out of range";
    case FFS_ENAMETOOLONG: return "name longer than " + std::to_string(FFS_NAME_MAX) + " bytes";
    default: return "file system error " + std::to_string(error);
  }
}

}  // namespace vorel
