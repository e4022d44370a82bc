// The FUSE side of a mount: the libfuse 3 callbacks over Operations, the
// single-threaded request loop and the commit timer of a writable mount.
#pragma once

#include <string>

#include "ffsmount/operations.h"

namespace ffsmount {

// Seconds between commits of a writable mount while it is dirty.
inline constexpr int kCommitIntervalSeconds = 5;

// Mounts at mountPoint and serves requests until the mount is taken away
// (fusermount3 -u, a signal). Answers 0, or 1 when the mount could not be
// made. foreground false: the process detaches once the mount stands.
int ServeMount(Operations& ops, const std::string& mountPoint, const std::string& imagePath,
               bool writable, bool foreground);

}  // namespace ffsmount
