// The run flow of vorel: the two directions with their path checks, the
// common part around CreateFlashVolumes, and the final message.
#pragma once

#include <string_view>

namespace vorel {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = -1;

// Result codes beyond the copies' own 0, 1 and 2.
inline constexpr int kResultOnlyZeroData = 3;
inline constexpr int kResultTargetMissing = 4;
inline constexpr int kResultImageEmpty = 5;

// Runs vorel on a whole command line; answers the exit code.
int RunVorel(std::string_view commandLine);

// Prints the final message of a result code; answers the exit code.
int ReportResult(int result);

}  // namespace vorel
