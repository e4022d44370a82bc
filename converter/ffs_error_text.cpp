// The error numbers of ffs/ffs.h in words a user understands; the volume's
// own limits (name length, free space) are said as such.
#include "converter/ffs_error_text.h"

#include <cstdio>

#include "converter/messages.h"
#include "ffs/ffs.h"

namespace vorel {

std::string FfsErrorText(int error) {
  struct Entry {
    int error;
    const char* text;
  };
  static constexpr Entry kTexts[] = {
      {FFS_EPERM, msg::kFsErrorNotPermitted},   {FFS_ENOENT, msg::kFsErrorNoEntry},
      {FFS_EIO, msg::kFsErrorIo},               {FFS_ENXIO, msg::kFsErrorNoVolume},
      {FFS_EBADF, msg::kFsErrorBadDescriptor},  {FFS_ENOMEM, msg::kFsErrorNoMemory},
      {FFS_EACCES, msg::kFsErrorAccess},        {FFS_EBUSY, msg::kFsErrorBusy},
      {FFS_EEXIST, msg::kFsErrorExists},        {FFS_ENOTDIR, msg::kFsErrorNotDirectory},
      {FFS_EISDIR, msg::kFsErrorIsDirectory},   {FFS_EINVAL, msg::kFsErrorInvalid},
      {FFS_EMFILE, msg::kFsErrorTooManyOpen},   {FFS_ENOSPC, msg::kFsErrorVolumeFull},
      {FFS_EROFS, msg::kFsErrorReadOnly},       {FFS_ERANGE, msg::kFsErrorRange},
  };
  for (const Entry& e : kTexts)
    if (e.error == error) return e.text;
  char text[64];
  if (error == FFS_ENAMETOOLONG)
    std::snprintf(text, sizeof text, msg::kFsErrorNameTooLong, FFS_NAME_MAX);
  else
    std::snprintf(text, sizeof text, msg::kFsErrorUnknown, error);
  return text;
}

}  // namespace vorel
