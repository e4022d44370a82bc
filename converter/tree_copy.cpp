// Host tree copies into and out of the mounted volume through the file API.
// Copying out is a security boundary: names come from the image, so a name is
// joined to a host path only when it is a plain single component, and nothing
// is created through a link.
#include "converter/tree_copy.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "converter/host_fs.h"
#include "converter/messages.h"
#include "ffs/ffs.h"

namespace vorel {

namespace {

constexpr std::size_t kCopyBufferSize = 256;
constexpr int kVolumePermission = 0x1C0;
constexpr int kOpenNewVolumeFile = FFS_O_RDWR | FFS_O_CREAT | FFS_O_EXCL;  // 26
constexpr int kOpenExistingVolumeFile = FFS_O_RDWR;                         // 2

std::string VolumePath(const std::string& dir, const char* name) { return dir + "/" + name; }

void PrintError(const char* text) { std::printf("%s%s", msg::kErrorPrefix, text); }

void PrintErrorLine(const char* label, const std::string& text) {
  std::printf("%s%s%s\n", msg::kErrorPrefix, label, text.c_str());
}

void TraceImage(const std::string& imagePath, const char* message) {
  if (host::ZeroDataCheck(imagePath) != host::kHasData) PrintError(message);
}

void PrintCopyToErrorBlock(const std::string& hostDir, const std::string& volumeDir) {
  std::printf("%s%s", msg::kCopyErrorTop, msg::kCopyToTitle);
  std::printf("%s%s\n", msg::kWorkingDirLabel, host::WorkingDirectory().c_str());
  std::printf("%s%s\n", msg::kSourceLabel, hostDir.c_str());
  std::printf("%s%s\n", msg::kDestinationLabel, volumeDir.c_str());
  std::printf("%s", msg::kCopyErrorBottom);
}

// Host file to volume file. A write that stores fewer bytes than given means
// the volume is full: the file's copy fails at once rather than leaving a
// silently shortened file behind.
bool CopyHostFileToVolume(const std::string& hostPath, const std::string& volumePath) {
  std::FILE* in = std::fopen(hostPath.c_str(), "rb");
  if (!in) return false;
  const int fd = ffs_open(volumePath.c_str(), kOpenNewVolumeFile, kVolumePermission);
  if (fd < 0) {
    std::fclose(in);
    return false;
  }
  char buffer[kCopyBufferSize];
  bool ok = true;
  for (std::size_t n; ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
    ok = ffs_write(fd, buffer, static_cast<std::uint32_t>(n)) == static_cast<int>(n);
  if (ok && std::ferror(in)) ok = false;
  if (ffs_close(fd) < 0) ok = false;
  std::fclose(in);
  return ok;
}

// The files of one host directory into the volume directory (created first).
bool CopyFilesToVolume(const std::string& hostDir, const std::string& volumeDir) {
  const auto entries = host::ListDirectory(hostDir);
  if (!entries) return false;
  // An existing directory (the volume's root among them) is fine; one the
  // volume had no room for fails the copy.
  if (ffs_mkdir(volumeDir.c_str(), kVolumePermission) != 0) {
    FfsStat st{};
    if (ffs_stat(volumeDir.c_str(), &st) != 0 || !(st.mode & FFS_S_IFDIR)) return false;
  }
  for (const auto& e : *entries) {
    const std::string hostPath = host::JoinPath(hostDir, e.name);
    if (e.kind == host::EntryKind::Directory) continue;
    if (e.kind == host::EntryKind::Other) {
      PrintErrorLine(msg::kSkippedHostEntry, hostPath);
      continue;
    }
    if (!CopyHostFileToVolume(hostPath, VolumePath(volumeDir, e.name.c_str()))) return false;
  }
  return true;
}

// Sub-directories are selected by names without an extension.
bool IsCopiedSubdirectory(const host::DirectoryEntry& e) {
  return e.kind == host::EntryKind::Directory && e.name.find('.') == std::string::npos;
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
std::optional<std::vector<std::string>> ListVolumeDirectory(const std::string& volumeDir,
                                                           CopyOut* out, bool reportUnsafe) {
  FileControlBlock* dir = ffs_opendir(volumeDir.c_str());
  if (!dir) return std::nullopt;
  std::vector<std::string> names;
  while (const FfsDirent* e = ffs_readdir(dir)) {
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
  ffs_closedir(dir);
  return names;
}

bool VolumeDirectoryHasEntry(const std::string& volumeDir) {
  FileControlBlock* dir = ffs_opendir(volumeDir.c_str());
  if (!dir) return false;
  const bool any = ffs_readdir(dir) != nullptr;
  ffs_closedir(dir);
  return any;
}

// Creates one host directory level; an existing real directory is accepted,
// a link or a file of that name is not (it could lead outside the tree).
bool MakeHostDirectory(const std::string& path) {
  const auto result = host::CreateDirectoryLevel(path);
  if (result == host::CreateDirResult::Created) return true;
  return result == host::CreateDirResult::AlreadyExists && host::IsRealDirectory(path);
}

// Volume file to host file. A read error fails the file: a shortened copy
// must not pass for a complete one.
bool CopyVolumeFileToHost(const std::string& volumePath, const std::string& hostPath) {
  const int fd = ffs_open(volumePath.c_str(), kOpenExistingVolumeFile, 0);
  if (fd < 0) return false;
  const int out = host::CreateFileNoFollow(hostPath);
  if (out < 0) {
    ffs_close(fd);
    return false;
  }
  char buffer[kCopyBufferSize];
  bool ok = true;
  for (int n; ok && (n = ffs_read(fd, buffer, sizeof buffer)) != 0;) {
    ok = n > 0 && ::write(out, buffer, static_cast<std::size_t>(n)) == n;
  }
  if (::close(out) != 0) ok = false;
  ffs_close(fd);
  return ok;
}

// One level of the volume into the host directory: sub-directories are made,
// files copied.
bool CopyLevelToHost(const std::string& volumeDir, const std::string& hostDir, CopyOut& state) {
  const auto names = ListVolumeDirectory(volumeDir, &state, true);
  if (!names) return false;
  for (const auto& name : *names) {
    const std::string volumePath = VolumePath(volumeDir, name.c_str());
    const std::string hostPath = host::JoinPath(hostDir, name);
    FfsStat st{};
    if (ffs_stat(volumePath.c_str(), &st) != 0) return false;
    const bool ok = (st.mode & FFS_S_IFDIR) ? MakeHostDirectory(hostPath)
                                            : CopyVolumeFileToHost(volumePath, hostPath);
    if (!ok) return false;
  }
  return true;
}

int CopyTreeToHost(const std::string& volumeDir, const std::string& hostDir, CopyOut& state) {
  if (VolumeDirectoryHasEntry(volumeDir) && !CopyLevelToHost(volumeDir, hostDir, state)) {
    std::printf("%s%s%s", msg::kCopyErrorTop, msg::kCopyFromTitle, msg::kCopyErrorBottom);
    return kCopyFailed;
  }
  const auto names = ListVolumeDirectory(volumeDir, &state, false);
  if (!names) return kCopyOk;
  for (const auto& name : *names) {
    const std::string volumePath = VolumePath(volumeDir, name.c_str());
    if (!VolumeDirectoryHasEntry(volumePath)) continue;  // files and empty directories
    const std::string hostPath = host::JoinPath(hostDir, name);
    if (!MakeHostDirectory(hostPath)) return kCopyFailed;
    const int result = CopyTreeToHost(volumePath, hostPath, state);
    if (result != kCopyOk) return result;
  }
  return kCopyOk;
}

}  // namespace

int CopyToMurvexDir(const std::string& hostDir, const std::string& volumeDir, bool& directoryCopied,
                    const std::string& imagePath) {
  TraceImage(imagePath, msg::kTraceBeforeCopy);
  const bool filesCopied = CopyFilesToVolume(hostDir, volumeDir);
  TraceImage(imagePath, msg::kTraceAfterCopy);
  if (!filesCopied) {
    PrintCopyToErrorBlock(hostDir, volumeDir);
    return directoryCopied ? kCopyVolumeFull : kCopyFailed;
  }
  directoryCopied = true;
  const auto entries = host::ListDirectory(hostDir);
  if (!entries) return kCopyOk;
  for (const auto& e : *entries) {
    if (!IsCopiedSubdirectory(e)) continue;
    const int result = CopyToMurvexDir(host::JoinPath(hostDir, e.name), VolumePath(volumeDir, e.name.c_str()),
                                       directoryCopied, imagePath);
    if (result != kCopyOk) return result;
  }
  return kCopyOk;
}

int CopyFromMurvexDir(const std::string& volumeDir, const std::string& hostDir) {
  CopyOut state;
  const int result = CopyTreeToHost(volumeDir, hostDir, state);
  return result == kCopyOk && state.unsafeNameSeen ? kCopyFailed : result;
}

bool IsVolumeRootEmpty(const std::string& volumeName) { return !VolumeDirectoryHasEntry(volumeName); }

}  // namespace vorel
