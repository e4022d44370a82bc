// Plain texts for the flash file system's error numbers: one table, one
// text per number the file system reports.
#include "converter/fs_error_text.h"

#include "converter/messages.h"
#include "ffs/ffs.h"

namespace vorel {

const char* FsErrorText(int ffsError) {
  struct Entry {
    int error;
    const char* text;
  };
  static constexpr Entry kTexts[] = {
      {FFS_EPERM, msg::kFsErrorNotPermitted},   {FFS_ENOENT, msg::kFsErrorNoEntry},
      {FFS_EIO, msg::kFsErrorIo},               {FFS_ENXIO, msg::kFsErrorNoDevice},
      {FFS_EBADF, msg::kFsErrorBadDescriptor},  {FFS_ENOMEM, msg::kFsErrorNoMemory},
      {FFS_EACCES, msg::kFsErrorAccess},        {FFS_EBUSY, msg::kFsErrorBusy},
      {FFS_EEXIST, msg::kFsErrorExists},        {FFS_ENOTDIR, msg::kFsErrorNotDirectory},
      {FFS_EISDIR, msg::kFsErrorIsDirectory},   {FFS_EINVAL, msg::kFsErrorInvalid},
      {FFS_EMFILE, msg::kFsErrorTooManyOpen},   {FFS_ENOSPC, msg::kFsErrorVolumeFull},
      {FFS_EROFS, msg::kFsErrorReadOnly},       {FFS_ERANGE, msg::kFsErrorRange},
      {FFS_ENAMETOOLONG, msg::kFsErrorNameTooLong},
  };
  for (const Entry& e : kTexts)
    if (e.error == ffsError) return e.text;
  return msg::kFsErrorUnknown;
}

}  // namespace vorel
