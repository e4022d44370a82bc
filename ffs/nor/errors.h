// The file system's own error numbers, set by every layer (the sector
// manager through the volume it works on, the file layer directly) and read
// back with ffs_errno. Their values are part of the file API.
#pragma once

inline constexpr int FFS_EPERM = 1;
inline constexpr int FFS_ENOENT = 2;
inline constexpr int FFS_EIO = 5;
inline constexpr int FFS_ENXIO = 6;
inline constexpr int FFS_EBADF = 9;
inline constexpr int FFS_ENOMEM = 12;
inline constexpr int FFS_EACCES = 13;
inline constexpr int FFS_EBUSY = 16;
inline constexpr int FFS_EEXIST = 17;
inline constexpr int FFS_ENOTDIR = 20;
inline constexpr int FFS_EISDIR = 21;
inline constexpr int FFS_EINVAL = 22;
inline constexpr int FFS_EMFILE = 24;
inline constexpr int FFS_ENOSPC = 28;
inline constexpr int FFS_EROFS = 30;
inline constexpr int FFS_ERANGE = 34;
inline constexpr int FFS_ENAMETOOLONG = 91;
