// Names of the file system's error numbers for ffsinspect's messages.
#include "imagecheck/checker_text.h"

#include "ffs/ffs.h"

namespace inspect {

std::string ErrorName(int error) {
  struct Name {
    int number;
    const char* text;
  };
  static constexpr Name kNames[] = {
      {FFS_EPERM, "EPERM"},   {FFS_ENOENT, "ENOENT"},   {FFS_EIO, "EIO"},
      {FFS_ENXIO, "ENXIO"},   {FFS_EBADF, "EBADF"},     {FFS_ENOMEM, "ENOMEM"},
      {FFS_EACCES, "EACCES"}, {FFS_EBUSY, "EBUSY"},     {FFS_EEXIST, "EEXIST"},
      {FFS_ENOTDIR, "ENOTDIR"}, {FFS_EISDIR, "EISDIR"}, {FFS_EINVAL, "EINVAL"},
      {FFS_EMFILE, "EMFILE"}, {FFS_ENOSPC, "ENOSPC"},   {FFS_EROFS, "EROFS"},
      {FFS_ERANGE, "ERANGE"}, {FFS_ENAMETOOLONG, "ENAMETOOLONG"},
  };
  if (error == 0) return "no error number";
  for (const Name& n : kNames)
    if (n.number == error) return std::string(n.text) + " (" + std::to_string(error) + ")";
  return "error " + std::to_string(error);
}

}  // namespace inspect
