// One run of ffsmount: the command line, the image opened and mounted, the
// requests served until unmount, the final commit. Answers the exit code.
#pragma once

#include <string>
#include <vector>

namespace ffsmount {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // mount point refused, or the final commit failed
inline constexpr int kExitImage = 2;    // the image cannot be opened, is locked or does not mount
inline constexpr int kExitUsage = 3;    // a bad command line

int RunFfsmount(const std::vector<std::string>& args);

}  // namespace ffsmount
