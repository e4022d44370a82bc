// Host tree copies into and out of the mounted volume through the file API.
// A file whose copy fails is removed on the side it was written to, and a
// line names it with the reason before the error block.
// Copying out is a security boundary: names come from the image, so a name is
// joined to a host path only when it is a plain single component, and nothing
// is created through a link.
#include "converter/tree_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "converter/ffs_error_text.h"
#include "converter/host_fs.h"
#include "converter/messages.h"
#include "converter/run_signals.h"
#include "ffs/ffs.h"

namespace vorel {

namespace {

thread_local CopyMessages* t_messages = nullptr;

// Every line of the copies goes through here: to standard output, or into
// the capture this thread holds.
[[gnu::format(printf, 1, 2)]] void Say(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  if (t_messages == nullptr) {
    std::vprintf(format, args);
  } else {
    std::va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, again);
    va_end(again);
    if (n > 0) {
      std::string line(static_cast<std::size_t>(n) + 1, '\0');
      std::vsnprintf(line.data(), line.size(), format, args);
      t_messages->Append(line.data(), static_cast<std::size_t>(n));
    }
  }
  va_end(args);
}

constexpr std::size_t kCopyBufferSize = 256;
constexpr std::size_t kHostBlockSize = 1 << 16;  // host reads and writes, a multiple of the above
constexpr int kVolumePermission = 0x1C0;
constexpr int kOpenNewVolumeFile = FFS_O_RDWR | FFS_O_CREAT | FFS_O_EXCL;  // 26
constexpr int kOpenExistingVolumeFile = FFS_O_RDWR;                         // 2

std::string VolumePath(const std::string& dir, const char* name) { return dir + "/" + name; }

void PrintError(const char* text) { Say("%s%s", msg::kErrorPrefix, text); }

void PrintErrorLine(const char* label, const std::string& text) {
  Say("%s%s%s\n", msg::kErrorPrefix, label, text.c_str());
}

void TraceImage(const std::string& imagePath, const char* message) {
  if (host::ZeroDataCheck(imagePath) != host::kHasData) PrintError(message);
}

void PrintCopyToErrorBlock(const std::string& hostDir, const std::string& volumeDir) {
  Say("%s%s", msg::kCopyErrorTop, msg::kCopyToTitle);
  Say("%s%s\n", msg::kWorkingDirLabel, host::WorkingDirectory().c_str());
  Say("%s%s\n", msg::kSourceLabel, hostDir.c_str());
  Say("%s%s\n", msg::kDestinationLabel, volumeDir.c_str());
  Say("%s", msg::kCopyErrorBottom);
}

// Why an entry failed: the host's errno or the file system's error number,
// and the words for it.
struct Cause {
  int host = 0;
  int volume = 0;
  std::string text;
  bool empty() const { return text.empty(); }
};
Cause HostCause(int error) { return {error, 0, std::strerror(error)}; }
Cause VolumeCause(int error, std::string text) { return {0, error, std::move(text)}; }
Cause VolumeCause(int error) { return VolumeCause(error, FfsErrorText(error)); }

void PrintCouldNotCopy(const std::string& hostPath, const Cause& cause) {
  if (t_messages != nullptr) t_messages->NoteFailure(cause.host, cause.volume);
  Say("%s", msg::kErrorPrefix);
  Say(msg::kCouldNotCopy, hostPath.c_str(), cause.text.c_str());
}

// Why the file system refused to create an entry of this name: an invalid
// argument can only be the name, since flags and permissions are fixed.
Cause CreateFailure(int error, const std::string& name) {
  if (error != FFS_EINVAL) return VolumeCause(error);
  return VolumeCause(error, name.find('*') != std::string::npos ? msg::kNameHoldsStar : msg::kNameNotUtf8);
}

// A write that stores fewer bytes than given without an error number means
// the volume is full.
Cause WriteFailure(FileSystem& fs) { return VolumeCause(ffs_errno(fs) != 0 ? ffs_errno(fs) : FFS_ENOSPC); }

// The buffer of one file's host reads or writes, left uninitialised.
struct HostBlock {
  std::unique_ptr<char[]> bytes{new char[kHostBlockSize]};
  char* data() { return bytes.get(); }
  static constexpr std::size_t size() { return kHostBlockSize; }
};

// Host file to volume file. A failure after the volume file was created
// removes it again: the image never keeps a shortened file. The line naming
// the file and the reason is printed here. The host file is read in large
// blocks; the volume is written in chunks of the copy buffer's size, each
// full but the last.
// The host file is opened by its name in its directory's descriptor, when
// the directory opened, to spare the kernel a walk along the whole path.
bool CopyHostFileToVolume(FileSystem& fs, int hostDirFd, const std::string& hostPath,
                          const std::string& volumePath, const std::string& name) {
  const int in = hostDirFd >= 0 ? ::openat(hostDirFd, name.c_str(), O_RDONLY | O_CLOEXEC)
                                : ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return PrintCouldNotCopy(hostPath, HostCause(errno)), false;
  ffs_set_errno(fs, 0);
  const int fd = ffs_open(fs, volumePath.c_str(), kOpenNewVolumeFile, kVolumePermission);
  if (fd < 0) {
    PrintCouldNotCopy(hostPath, CreateFailure(ffs_errno(fs), name));
    ::close(in);
    return false;
  }
  HostBlock block;
  std::size_t held = 0;  // bytes of the block not yet written to the volume
  Cause reason;
  auto put = [&](std::size_t at, std::size_t n) {
    ffs_set_errno(fs, 0);
    if (ffs_write(fs, fd, block.data() + at, static_cast<std::uint32_t>(n)) != static_cast<int>(n))
      reason = WriteFailure(fs);
  };
  for (bool end = false; reason.empty() && !end;) {
    const ssize_t n = ::read(in, block.data() + held, block.size() - held);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) reason = HostCause(errno);
    // Only a read of nothing ends the file: files of some host file systems
    // (procfs, FUSE with direct I/O) read short before their end.
    end = n <= 0;
    held += n > 0 ? static_cast<std::size_t>(n) : 0;
    std::size_t at = 0;
    for (; reason.empty() && held - at >= kCopyBufferSize; at += kCopyBufferSize)
      put(at, kCopyBufferSize);
    if (end && reason.empty() && held > at) put(at, held - at);
    held -= std::min(held, at);
    std::memmove(block.data(), block.data() + at, held);
  }
  if (ffs_close(fs, fd) < 0 && reason.empty()) reason = VolumeCause(ffs_errno(fs));
  ::close(in);
  if (reason.empty()) return true;
  ffs_unlink(fs, volumePath.c_str());
  PrintCouldNotCopy(hostPath, reason);
  return false;
}

// Names holding a backslash are not stored: the copy out of an image refuses
// them as path separators, so they could never come back.
bool HoldsBackslash(const std::string& name) { return name.find('\\') != std::string::npos; }

// The files of one host directory (listed once by the caller, nullopt when
// it could not be) into the volume directory (created first).
bool CopyFilesToVolume(FileSystem& fs, const std::string& hostDir, const std::string& volumeDir,
                       const std::optional<std::vector<host::DirectoryEntry>>& entries) {
  if (!entries) return PrintCouldNotCopy(hostDir, HostCause(errno)), false;
  // An existing directory (the volume's root among them) is fine; one the
  // volume had no room for, or a file of that name, fails the copy.
  if (ffs_mkdir(fs, volumeDir.c_str(), kVolumePermission) != 0) {
    const int error = ffs_errno(fs);
    FfsStat st{};
    if (ffs_stat(fs, volumeDir.c_str(), &st) != 0 || !(st.mode & FFS_S_IFDIR)) {
      const std::size_t slash = volumeDir.rfind('/');
      PrintCouldNotCopy(hostDir, CreateFailure(error == FFS_EEXIST ? FFS_ENOTDIR : error,
                                                   volumeDir.substr(slash + 1)));
      return false;
    }
  }
  struct DirFd {
    int fd;
    ~DirFd() {
      if (fd >= 0) ::close(fd);
    }
  } dir{::open(hostDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  for (const auto& e : *entries) {
    const std::string hostPath = host::JoinPath(hostDir, e.name);
    if (e.kind == host::EntryKind::Directory) continue;
    if (e.kind == host::EntryKind::Other) {
      PrintErrorLine(msg::kSkippedHostEntry, hostPath);
      continue;
    }
    if (HoldsBackslash(e.name)) {
      PrintErrorLine(msg::kSkippedBackslashName, hostPath);
      continue;
    }
    if (!CopyHostFileToVolume(fs, dir.fd, hostPath, VolumePath(volumeDir, e.name.c_str()), e.name))
      return false;
  }
  return true;
}

// Sub-directories are selected by names without an extension; a directory
// left out for its name gets a line.
bool IsCopiedSubdirectory(const host::DirectoryEntry& e, const std::string& hostDir) {
  if (e.kind != host::EntryKind::Directory) return false;
  const char* skipped = e.name.find('.') != std::string::npos ? msg::kSkippedDottedDirectory
                        : HoldsBackslash(e.name)             ? msg::kSkippedBackslashName
                                                             : nullptr;
  if (skipped) PrintErrorLine(skipped, host::JoinPath(hostDir, e.name));
  return skipped == nullptr;
}

// A name read from the image may become one host path component only when it
// is a plain name: not empty, ".", "..", and holding no separator or NUL.
bool IsSafeHostName(const char* name, std::size_t maxLength) {
  std::size_t n = 0;
  for (; n < maxLength && name[n] != '\0'; ++n)
    if (name[n] == '/' || name[n] == '\\') return false;
  const std::string s(name, n);
  return n > 0 && n < maxLength && s != "." && s != "..";
}

// State of one copy out of the volume.
struct CopyOut {
  bool unsafeNameSeen = false;
};

// Lists the names of a volume directory; nullopt when it cannot be opened.
std::optional<std::vector<std::string>> ListVolumeDirectory(FileSystem& fs, const std::string& volumeDir,
                                                           CopyOut* out, bool reportUnsafe) {
  FileControlBlock* dir = ffs_opendir(fs, volumeDir.c_str());
  if (!dir) return std::nullopt;
  std::vector<std::string> names;
  while (const FfsDirent* e = ffs_readdir(fs, dir)) {
    if (!IsSafeHostName(e->name, sizeof e->name)) {
      out->unsafeNameSeen = true;
      if (reportUnsafe) {
        const std::string shown(e->name, strnlen(e->name, sizeof e->name));
        PrintErrorLine(msg::kUnsafeVolumeName, shown);
      }
      continue;
    }
    names.emplace_back(e->name);
  }
  ffs_closedir(fs, dir);
  return names;
}

bool VolumeDirectoryHasEntry(FileSystem& fs, const std::string& volumeDir) {
  FileControlBlock* dir = ffs_opendir(fs, volumeDir.c_str());
  if (!dir) return false;
  const bool any = ffs_readdir(fs, dir) != nullptr;
  ffs_closedir(fs, dir);
  return any;
}

// Creates one host directory level; an existing real directory is accepted,
// a link or a file of that name is not (it could lead outside the tree).
bool MakeHostDirectory(const std::string& path) {
  const auto result = host::CreateDirectoryLevel(path);
  if (result == host::CreateDirResult::Created) return true;
  const int error = errno;
  if (result == host::CreateDirResult::AlreadyExists && host::IsRealDirectory(path)) return true;
  PrintCouldNotCopy(path, HostCause(error));
  return false;
}

// Volume file to host file. A read error fails the file: a shortened copy
// must not pass for a complete one, so a failed copy removes the host file.
// The volume is read in chunks of the copy buffer's size; the host file is
// written in large blocks.
bool CopyVolumeFileToHost(FileSystem& fs, const std::string& volumePath, const std::string& hostPath) {
  ffs_set_errno(fs, 0);
  const int fd = ffs_open(fs, volumePath.c_str(), kOpenExistingVolumeFile, 0);
  if (fd < 0) return PrintCouldNotCopy(hostPath, VolumeCause(ffs_errno(fs))), false;
  const int out = host::CreateFileNoFollow(hostPath);
  if (out < 0) {
    PrintCouldNotCopy(hostPath, HostCause(errno));
    ffs_close(fs, fd);
    return false;
  }
  SetFileToRemoveOnSignal(hostPath.c_str());
  HostBlock block;
  std::size_t held = 0;
  Cause reason;
  auto flush = [&] {
    if (reason.empty() && held > 0 && !host::WriteAll(out, block.data(), held))
      reason = HostCause(errno);
    held = 0;
  };
  for (int n; reason.empty() && (n = ffs_read(fs, fd, block.data() + held, kCopyBufferSize)) != 0;) {
    if (n < 0) reason = VolumeCause(ffs_errno(fs));
    else held += static_cast<std::size_t>(n);
    if (block.size() - held < kCopyBufferSize) flush();
  }
  flush();
  if (::close(out) != 0 && reason.empty()) reason = HostCause(errno);
  ffs_close(fs, fd);
  SetFileToRemoveOnSignal(nullptr);
  if (reason.empty()) return true;
  ::unlink(hostPath.c_str());
  PrintCouldNotCopy(hostPath, reason);
  return false;
}

// One level of the volume into the host directory: sub-directories are made,
// files copied. The names of the sub-directories made are added to subdirs.
bool CopyLevelToHost(FileSystem& fs, const std::string& volumeDir, const std::string& hostDir,
                     const std::vector<std::string>& names, std::vector<std::string>& subdirs) {
  for (const auto& name : names) {
    const std::string volumePath = VolumePath(volumeDir, name.c_str());
    const std::string hostPath = host::JoinPath(hostDir, name);
    FfsStat st{};
    if (ffs_stat(fs, volumePath.c_str(), &st) != 0)
      return PrintCouldNotCopy(hostPath, VolumeCause(ffs_errno(fs))), false;
    const bool isDirectory = (st.mode & FFS_S_IFDIR) != 0;
    const bool ok =
        isDirectory ? MakeHostDirectory(hostPath) : CopyVolumeFileToHost(fs, volumePath, hostPath);
    if (!ok) return false;
    if (isDirectory) subdirs.push_back(name);
  }
  return true;
}

// Each volume directory is listed once: its level is copied (which makes its
// sub-directories), then every sub-directory is copied the same way.
int CopyTreeToHost(FileSystem& fs, const std::string& volumeDir, const std::string& hostDir, CopyOut& state) {
  const auto names = ListVolumeDirectory(fs, volumeDir, &state, true);
  if (!names) return kCopyOk;
  std::vector<std::string> subdirs;
  if (!CopyLevelToHost(fs, volumeDir, hostDir, *names, subdirs)) {
    Say("%s%s%s", msg::kCopyErrorTop, msg::kCopyFromTitle, msg::kCopyErrorBottom);
    return kCopyFailed;
  }
  for (const auto& name : subdirs) {
    const std::string volumePath = VolumePath(volumeDir, name.c_str());
    const std::string hostPath = host::JoinPath(hostDir, name);
    if (!MakeHostDirectory(hostPath)) return kCopyFailed;  // still a real directory
    const int result = CopyTreeToHost(fs, volumePath, hostPath, state);
    if (result != kCopyOk) return result;
  }
  return kCopyOk;
}

}  // namespace

int CopyToMurvexDir(FileSystem& fs, const std::string& hostDir, const std::string& volumeDir, bool& directoryCopied,
                    const std::string& imagePath) {
  TraceImage(imagePath, msg::kTraceBeforeCopy);
  const auto entries = host::ListDirectory(hostDir);
  const bool filesCopied = CopyFilesToVolume(fs, hostDir, volumeDir, entries);
  TraceImage(imagePath, msg::kTraceAfterCopy);
  if (!filesCopied) {
    PrintCopyToErrorBlock(hostDir, volumeDir);
    return directoryCopied ? kCopyVolumeFull : kCopyFailed;
  }
  directoryCopied = true;
  for (const auto& e : *entries) {
    if (!IsCopiedSubdirectory(e, hostDir)) continue;
    const int result = CopyToMurvexDir(fs, host::JoinPath(hostDir, e.name), VolumePath(volumeDir, e.name.c_str()),
                                       directoryCopied, imagePath);
    if (result != kCopyOk) return result;
  }
  return kCopyOk;
}

int CopyFromMurvexDir(FileSystem& fs, const std::string& volumeDir, const std::string& hostDir) {
  CopyOut state;
  const int result = CopyTreeToHost(fs, volumeDir, hostDir, state);
  return result == kCopyOk && state.unsafeNameSeen ? kCopyFailed : result;
}

bool IsVolumeRootEmpty(FileSystem& fs, const std::string& volumeName) {
  return !VolumeDirectoryHasEntry(fs, volumeName);
}

int CopyToMurvexDir(const std::string& hostDir, const std::string& volumeDir, bool& directoryCopied,
                    const std::string& imagePath) {
  return CopyToMurvexDir(ffs_default(), hostDir, volumeDir, directoryCopied, imagePath);
}

int CopyFromMurvexDir(const std::string& volumeDir, const std::string& hostDir) {
  return CopyFromMurvexDir(ffs_default(), volumeDir, hostDir);
}

bool IsVolumeRootEmpty(const std::string& volumeName) { return IsVolumeRootEmpty(ffs_default(), volumeName); }

CopyMessages::CopyMessages() : previous_(t_messages) { t_messages = this; }
CopyMessages::~CopyMessages() { t_messages = previous_; }

}  // namespace vorel
