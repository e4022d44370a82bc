// The portable host layer of vorel: the process command line, paths,
// directory tests, file existence, deletion, directory creation and the
// zero-data check, with the behaviour the run flow expects of the host.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostcli/command_line_options.h"
#include "hostcli/host_paths.h"

namespace vorel::host {

// The scratch file in the temp directory that every run deletes first.
inline constexpr char kDiskImageName[] = "Disk2.dat";
// The helpers ffsinspect shares (command line, paths) under their vorel names.
using hostcli::JoinPath;
using hostcli::kSeparator;
using hostcli::FileSize;
using hostcli::MakeAbsolute;
using hostcli::ProcessCommandLine;
using hostcli::ProgramDirectory;
using hostcli::WorkingDirectory;

// Changes into path; on success changes to ".." (the working directory is
// left at the parent of the tested directory) and answers true.
bool IsDirectory(const std::string& path);

// True when path is a file that can be opened for reading. A directory is
// not a file, although the host lets it be opened. Never blocks on a FIFO.
bool FileExists(const std::string& path);

// True when path is (or links to) a regular file: the only kind of file
// taken as an image.
bool IsRegularFile(const std::string& path);

// Removes path when it is an existing file; false only when removal fails.
bool DeleteIfExists(const std::string& path);

enum class CreateDirResult { Created, AlreadyExists, Failed };
// Creates one directory level.
CreateDirResult CreateDirectoryLevel(const std::string& path);

// Result codes of the zero-data check (they are run result codes too).
inline constexpr int kHasData = 0;
inline constexpr int kOnlyZeroData = 3;
inline constexpr int kCannotOpen = 4;
// 0 when the file holds a non-zero byte; 3 (message printed) when it holds
// only zeros or nothing; 4 (no message) when it cannot be opened or is not a
// regular file.
int ZeroDataCheck(const std::string& path);

// "TEMP", else "TMP", else the working directory.
std::optional<std::string> TempDirectory();

// What a directory entry is, seen without following a link to a directory.
enum class EntryKind {
  Directory,    // a real directory (never a link)
  RegularFile,  // a regular file, or a link to one
  Other,        // link to a directory, dangling link, socket, FIFO, device
};

struct DirectoryEntry {
  std::string name;
  EntryKind kind;
};

// The entries of a directory, "." and ".." left out, in byte-wise order of
// their names so that the same tree is always copied in the same order.
// nullopt when the directory cannot be listed.
std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& path);

// Creates (or truncates) a file for writing without following a link in its
// last component and without blocking on a FIFO; -1 on failure.
int CreateFileNoFollow(const std::string& path);

// Writes all n bytes, going on after a partial write; false with errno set.
bool WriteAll(int fd, const void* data, std::size_t n);

// True when path is a directory itself, not a link to one.
bool IsRealDirectory(const std::string& path);

}  // namespace vorel::host
