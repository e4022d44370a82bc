// Host paths both programs need: absolute paths, file sizes, the program's
// own directory (relative image paths are taken from it). Nothing here writes
// to standard error: the one message goes to standard output.
#pragma once

#include <optional>
#include <string>

namespace hostcli {

inline constexpr char kSeparator = '/';

// Absolute, lexically normal form of path (no trailing separator).
// Prints the "could not build absolute path" error on failure.
std::optional<std::string> MakeAbsolute(const std::string& path);

// Size of the file in bytes (0 for a FIFO or device), or nullopt when it
// does not exist or is a directory.
std::optional<unsigned long long> FileSize(const std::string& path);

// Directory holding the running program, for resolving relative image paths.
std::string ProgramDirectory();

std::string JoinPath(const std::string& dir, const std::string& name);

// Current working directory, or the empty text when it cannot be read.
std::string WorkingDirectory();

}  // namespace hostcli
