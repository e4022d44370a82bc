// Plain texts for the flash file system's error numbers, as vorel prints
// them in its error lines. Every number maps to one text of messages.h.
#pragma once

namespace vorel {

// The text for a file-system error number (ffs_errno); a number the file
// system does not use answers the unknown-error text.
const char* FsErrorText(int ffsError);

}  // namespace vorel
