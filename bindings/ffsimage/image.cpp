// Image over FlashVolumes and the ffs_* calls of its own file system (images
// share nothing, so several can be open at once). A new image is formatted and
// mounted exactly as "vorel -dir:ptf" does it, so that the same tree copied
// in gives the same bytes; every failure becomes an FsError naming the path.
#include "bindings/ffsimage/image.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "converter/command_line.h"
#include "converter/ffs_error_text.h"
#include "converter/host_fs.h"
#include "converter/image_replacement.h"
#include "converter/messages.h"
#include "converter/tree_copy.h"
#include "ffs/ffs.h"
#include "ffs/host_errno.h"
#include "ffs/volume_table.h"
#include "imagecheck/reports.h"
#include "imagecheck/volume_check.h"

namespace ffsimage {

namespace {

constexpr int kPermission = 0x1C0;  // what vorel gives everything it creates
constexpr std::size_t kChunk = 1 << 16;
constexpr std::uint32_t kMinSectors = 4;
constexpr char kReadOnlyText[] = "the image is opened read-only";
constexpr char kNotImageText[] = "not a regular file";
constexpr char kNoMountText[] = "the image does not mount: %s";

std::string Format(const char* format, const std::string& text) {
  char line[512];
  std::snprintf(line, sizeof line, format, text.c_str());
  std::string s = line;
  while (!s.empty() && s.back() == '\n') s.pop_back();
  return s;
}

flashimage::FlashTypeCode FlashCode(const std::string& name) {
  if (name == flashimage::kFlashTypeOld) return flashimage::FlashTypeCode::Old;
  if (name == flashimage::kFlashTypeNew) return flashimage::FlashTypeCode::New;
  throw ArgumentError("flash_type must be '" + std::string(flashimage::kFlashTypeOld) + "' or '" +
                      flashimage::kFlashTypeNew + "', not '" + name + "'");
}

std::string Absolute(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos)
    throw ArgumentError("a host path must be a non-empty text without NUL bytes");
  const auto absolute = vorel::host::MakeAbsolute(path);
  if (!absolute) throw FsError{errno ? errno : ENOENT, std::strerror(errno ? errno : ENOENT), path, {}};
  return *absolute;
}

[[noreturn]] void HostFail(int error, const std::string& path) {
  throw FsError{error, std::strerror(error), path, {}};
}

// The error lines of a failed copy, "Error: " left out; the first line that
// names a file and its reason is the message.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    const std::string prefix = vorel::msg::kErrorPrefix;
    if (line.compare(0, prefix.size(), prefix) == 0) line.erase(0, prefix.size());
    if (!line.empty()) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

}  // namespace

int HostErrno(int ffsError) { return FfsHostErrno(ffsError); }

Image::Image(std::string path, std::string flashType, bool writable)
    : path_(std::move(path)), flashType_(std::move(flashType)), writable_(writable) {}

Image::~Image() {
  try {
    std::lock_guard<std::mutex> guard(lock_);
    CloseLocked();
  } catch (...) {
    // The final commit's failure cannot be reported from here.
  }
}

std::unique_ptr<Image> Image::Create(const std::string& path, std::uint64_t size,
                                     const std::string& flashType) {
  const flashimage::FlashTypeCode code = FlashCode(flashType);
  const std::uint32_t sector = flashimage::SectorSizeOfFlashType(static_cast<std::uint32_t>(code));
  if (size < std::uint64_t(kMinSectors) * sector || size > 0xFFFFFFFFu)
    throw ArgumentError("size must hold at least " + std::to_string(kMinSectors) + " sectors of " +
                        std::to_string(sector) + " bytes and be below 4 GiB");
  std::unique_ptr<Image> image(new Image(Absolute(path), flashType, true));
  image->Mount(static_cast<std::uint32_t>(code), size, true);
  return image;
}

std::unique_ptr<Image> Image::Open(const std::string& path, const std::string& flashType,
                                   bool writable) {
  const flashimage::FlashTypeCode code = FlashCode(flashType);
  const std::string absolute = Absolute(path);
  struct stat st {};
  if (::stat(absolute.c_str(), &st) != 0) HostFail(errno, path);
  if (S_ISDIR(st.st_mode)) HostFail(EISDIR, path);
  if (!S_ISREG(st.st_mode)) throw FsError{EINVAL, kNotImageText, path, {}};
  if (std::uint64_t(st.st_size) > 0xFFFFFFFFu) HostFail(EFBIG, path);
  std::unique_ptr<Image> image(new Image(absolute, flashType, writable));
  image->Mount(static_cast<std::uint32_t>(code), std::uint64_t(st.st_size), false);
  return image;
}

// A new image is built beside its destination and put in place only once
// formatted and mounted, as vorel builds one; the format and mount are the
// same calls in the same order.
void Image::Mount(std::uint32_t code, std::uint64_t size, bool create) {
  std::unique_ptr<vorel::ImageReplacement> replacement;
  if (create) {
    replacement = std::make_unique<vorel::ImageReplacement>(path_);
    if (replacement->TemporaryPath().empty()) HostFail(EEXIST, path_);
    volumes_.SetVolumeFileName(replacement->TemporaryPath());
  } else {
    volumes_.SetVolumeFileName(path_);
    volumes_.SetPrivateMapping(!writable_);
  }
  volumes_.SetVolumeSize(static_cast<std::uint32_t>(size));
  volumes_.SetFlashType(code);
  volumes_.SetVolumeVolatileFlag(create);
  ffs_set_errno(fs_, 0);
  bool mounted = volumes_.CreateFlashVolumes(false);
  const flashimage::MappedImageFile* file = volumes_.Image();
  if (file == nullptr || file->HostError() != 0 || file->View() == nullptr)
    HostFail(file && file->HostError() ? file->HostError() : EIO, path_);
  const char* name = volumes_.VolumeName().c_str();
  if (!mounted && create) mounted = ffs_format(fs_, name) == 0 && ffs_mount(fs_, name) == 0;
  if (!mounted) {
    const int error = ffs_errno(fs_) ? ffs_errno(fs_) : FFS_ENXIO;
    throw FsError{HostErrno(error), Format(kNoMountText, vorel::FfsErrorText(error)), path_, {}};
  }
  if (replacement && !replacement->PutInPlace()) HostFail(errno, path_);
}

void Image::Live() const {
  if (closed_) throw ClosedError("I/O operation on a closed image");
}

void Image::Mutable(const std::string& path) const {
  if (!writable_) throw FsError{EROFS, kReadOnlyText, path, {}};
}

void Image::Fail(const std::string& path, const std::string& path2) const {
  const int error = ffs_errno(fs_) ? ffs_errno(fs_) : FFS_EIO;
  throw FsError{HostErrno(error), vorel::FfsErrorText(error), path, path2};
}

// "/a/./b/../c" and "a/c" both name TmpDisc/a/c: empty and "." components go,
// ".." takes one back but never above the volume's root.
std::string Image::VolumePath(const std::string& path) const {
  if (path.find('\0') != std::string::npos)
    throw ArgumentError("a path in the image must not hold NUL bytes");
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string out = volumes_.VolumeName();
  for (const std::string& p : parts) out += "/" + p;
  return out;
}

std::vector<std::string> Image::ListDir(const std::string& path) {
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  ffs_set_errno(fs_, 0);
  FileControlBlock* dir = ffs_opendir(fs_, VolumePath(path).c_str());
  if (dir == nullptr) Fail(path);
  std::vector<std::string> names;
  while (const FfsDirent* e = ffs_readdir(fs_, dir)) names.emplace_back(e->name, strnlen(e->name, sizeof e->name));
  ffs_closedir(fs_, dir);
  return names;
}

std::vector<std::pair<std::string, EntryStat>> Image::ScanDir(const std::string& path) {
  std::vector<std::pair<std::string, EntryStat>> out;
  for (std::string& name : ListDir(path)) {
    const std::string child = path + "/" + name;
    out.emplace_back(std::move(name), Stat(child));
  }
  return out;
}

EntryStat Image::Stat(const std::string& path) {
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  ffs_set_errno(fs_, 0);
  FfsStat st{};
  if (ffs_stat(fs_, VolumePath(path).c_str(), &st) != 0) Fail(path);
  EntryStat e;
  e.size = st.size;
  e.mode = st.mode;
  e.serial = st.ino;
  e.links = st.nlink;
  e.mtime = st.mtime;
  e.isDirectory = (st.mode & FFS_S_IFDIR) != 0;
  return e;
}

bool Image::Exists(const std::string& path) {
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  FfsStat st{};
  return ffs_stat(fs_, VolumePath(path).c_str(), &st) == 0;
}

std::string Image::ReadFile(const std::string& path) {
  const int handle = OpenFile(path, FFS_O_RDONLY);
  std::string data;
  try {
    data = Read(handle, -1);
  } catch (...) {
    CloseFile(handle);
    throw;
  }
  CloseFile(handle);
  return data;
}

// A file whose write failed (the volume full) is removed again, as vorel
// removes a file it could not copy whole: no shortened file is left behind.
void Image::WriteFile(const std::string& path, const std::string& data) {
  const int handle = OpenFile(path, FFS_O_WRONLY | FFS_O_CREAT | FFS_O_TRUNC);
  try {
    Write(handle, data.data(), data.size());
    CloseFile(handle);
  } catch (...) {
    std::lock_guard<std::mutex> guard(lock_);
    if (handles_.erase(handle) != 0) ffs_close(fs_, handle);
    ffs_unlink(fs_, VolumePath(path).c_str());
    throw;
  }
}

void Image::Mkdir(const std::string& path) {
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  Mutable(path);
  ffs_set_errno(fs_, 0);
  if (ffs_mkdir(fs_, VolumePath(path).c_str(), kPermission) != 0) Fail(path);
}

void Image::Remove(const std::string& path) {
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  Mutable(path);
  ffs_set_errno(fs_, 0);
  if (ffs_unlink(fs_, VolumePath(path).c_str()) != 0) Fail(path);
}

void Image::Rmdir(const std::string& path) {
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  Mutable(path);
  ffs_set_errno(fs_, 0);
  if (ffs_rmdir(fs_, VolumePath(path).c_str()) != 0) Fail(path);
}

void Image::Rename(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  Mutable(from);
  ffs_set_errno(fs_, 0);
  if (ffs_rename(fs_, VolumePath(from).c_str(), VolumePath(to).c_str()) != 0) Fail(from, to);
}

void Image::Sync() {
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  if (!writable_) return;
  ffs_set_errno(fs_, 0);
  if (ffs_sync(fs_, volumes_.VolumeName().c_str()) != 0) Fail("/");
}

std::vector<std::string> Image::Check() {
  Sync();  // the check wants a volume at rest
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  VolumeRecord* record = ffs_find_volume(fs_, volumes_.VolumeName().c_str());
  if (record == nullptr || record->nor == nullptr) throw FsError{ENXIO, "no volume", path_, {}};
  return inspect::CheckVolume(*record->nor);
}

InfoList Image::Info() {
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  VolumeRecord* record = ffs_find_volume(fs_, volumes_.VolumeName().c_str());
  if (record == nullptr || record->nor == nullptr) throw FsError{ENXIO, "no volume", path_, {}};
  const inspect::VolumeFacts f =
      inspect::CollectVolumeFacts(volumes_.Files(), *record->nor, volumes_.VolumeName().c_str());
  const nor::Geometry& g = f.geometry;
  InfoList info = {
      {"sector_count", g.sector_count},
      {"sector_size", g.sector_size},
      {"cluster_size", g.cluster_size},
      {"clusters_per_sector", g.clusters_per_sector},
      {"header_clusters", g.header_clusters},
      {"cluster_count", g.cluster_count},
      {"checkpoint_sequence", f.sequence},
      {"checkpoint_first_cluster", f.checkpointFirst},
      {"checkpoint_clusters", f.checkpointClusters},
      {"checkpoint_version", f.version},
      {"checkpoint_clean", f.clean ? 1 : 0},
      {"directories", f.directories},
      {"files", f.files},
      {"bytes_in_files", f.bytesInFiles},
      {"used_clusters", f.usedClusters},
      {"free_clusters", f.freeClusters},
      {"dirty_clusters", f.dirtyClusters},
      {"highest_erase_count", f.highestEraseCount},
  };
  if (f.cursor != nor::kNone32) info.emplace_back("checkpoint_area_cursor", f.cursor);
  if (f.haveStats) {
    info.emplace_back("stats_free_clusters", f.stats.free_clusters);
    info.emplace_back("stats_free_bytes", f.stats.free_bytes);
    info.emplace_back("stats_free_percent", f.stats.free_percent);
  }
  return info;
}

// The errno of a failed copy: the cause the copy noted for the entry that
// failed (the host's own, or the file system's mapped), else what is left.
int Image::CopyFailureErrno(const vorel::CopyMessages& messages) {
  if (messages.Failed() && messages.HostError() != 0) return messages.HostError();
  if (messages.Failed() && messages.VolumeError() != 0) return HostErrno(messages.VolumeError());
  return ffs_errno(fs_) != 0 ? HostErrno(ffs_errno(fs_)) : errno != 0 ? errno : EIO;
}

std::vector<std::string> Image::CopyIn(const std::string& hostDir, const std::string& imageDir) {
  const std::string host = Absolute(hostDir);
  struct stat st {};
  if (::stat(host.c_str(), &st) != 0) HostFail(errno, hostDir);
  if (!S_ISDIR(st.st_mode)) HostFail(ENOTDIR, hostDir);
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  Mutable(imageDir);
  vorel::CopyMessages messages;
  bool directoryCopied = false;
  ffs_set_errno(fs_, 0);
  errno = 0;
  const int result = vorel::CopyToMurvexDir(fs_, host, VolumePath(imageDir), directoryCopied, path_);
  std::vector<std::string> lines = Lines(messages.Text());
  if (result == vorel::kCopyOk) return lines;
  const int error = result == vorel::kCopyVolumeFull ? ENOSPC : CopyFailureErrno(messages);
  std::string message = lines.empty() ? "copy failed" : lines.front();
  const std::string named = vorel::msg::kCouldNotCopy;
  const std::string lead = named.substr(0, named.find('%'));  // "Could not copy "
  for (const std::string& line : lines)
    if (line.compare(0, lead.size(), lead) == 0) message = line;
  throw FsError{error, message, hostDir, imageDir};
}

std::vector<std::string> Image::CopyOut(const std::string& imageDir, const std::string& hostDir) {
  const std::string host = Absolute(hostDir);
  const EntryStat dir = Stat(imageDir);
  if (!dir.isDirectory) throw FsError{ENOTDIR, vorel::FfsErrorText(FFS_ENOTDIR), imageDir, {}};
  if (vorel::host::CreateDirectoryLevel(host) == vorel::host::CreateDirResult::Failed)
    HostFail(errno, hostDir);
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) HostFail(ENOTDIR, hostDir);
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  vorel::CopyMessages messages;
  ffs_set_errno(fs_, 0);
  errno = 0;
  const int result = vorel::CopyFromMurvexDir(fs_, VolumePath(imageDir), host);
  std::vector<std::string> lines = Lines(messages.Text());
  if (result == vorel::kCopyOk) return lines;
  std::string message = lines.empty() ? "copy failed" : lines.front();
  throw FsError{CopyFailureErrno(messages), message, imageDir, hostDir};
}

int Image::OpenFile(const std::string& path, int flags) {
  std::lock_guard<std::mutex> guard(lock_);
  Live();
  if (flags & (FFS_O_WRONLY | FFS_O_RDWR | FFS_O_APPEND | FFS_O_CREAT | FFS_O_TRUNC)) Mutable(path);
  ffs_set_errno(fs_, 0);
  const int handle = ffs_open(fs_, VolumePath(path).c_str(), flags, kPermission);
  if (handle < 0) Fail(path);
  // A directory opens for reading in the file system (opening one to write
  // fails there); as a file it has nothing to give.
  FfsStat st{};
  const bool reading = (flags & (FFS_O_WRONLY | FFS_O_RDWR)) == 0;
  if (reading && ffs_fstat(fs_, handle, &st) == 0 && (st.mode & FFS_S_IFDIR) != 0) {
    ffs_close(fs_, handle);
    ffs_set_errno(fs_, FFS_EISDIR);
    Fail(path);
  }
  handles_[handle] = path;
  return handle;
}

const std::string& Image::CheckHandle(int handle) const {
  Live();
  const auto it = handles_.find(handle);
  if (it == handles_.end()) throw ClosedError("I/O operation on a closed file");
  return it->second;
}

bool Image::HandleOpen(int handle) {
  std::lock_guard<std::mutex> guard(lock_);
  return !closed_ && handles_.count(handle) != 0;
}

std::string Image::Read(int handle, std::int64_t count) {
  std::lock_guard<std::mutex> guard(lock_);
  const std::string& path = CheckHandle(handle);
  std::string data;
  const bool all = count < 0;
  std::uint64_t left = all ? ~std::uint64_t(0) : std::uint64_t(count);
  while (left > 0) {
    const std::size_t n = std::size_t(std::min<std::uint64_t>(left, kChunk));
    const std::size_t at = data.size();
    data.resize(at + n);
    ffs_set_errno(fs_, 0);
    const int got = ffs_read(fs_, handle, &data[at], static_cast<std::uint32_t>(n));
    if (got < 0) Fail(path);
    data.resize(at + std::size_t(got));
    if (got == 0) break;
    left -= std::uint64_t(got);
    if (!all && std::size_t(got) < n) break;
  }
  return data;
}

std::uint32_t Image::Write(int handle, const char* data, std::size_t count) {
  std::lock_guard<std::mutex> guard(lock_);
  const std::string& path = CheckHandle(handle);
  if (count > 0x7FFFFFFFu) throw ArgumentError("at most 2 GiB can be written at once");
  std::size_t done = 0;
  while (done < count) {
    const std::size_t n = std::min(count - done, kChunk);
    ffs_set_errno(fs_, 0);
    const int wrote = ffs_write(fs_, handle, data + done, static_cast<std::uint32_t>(n));
    if (wrote <= 0) {
      if (ffs_errno(fs_) == 0) ffs_set_errno(fs_, FFS_ENOSPC);  // a short write is a full volume
      Fail(path);
    }
    done += std::size_t(wrote);
  }
  return static_cast<std::uint32_t>(done);
}

std::uint32_t Image::Seek(int handle, std::int64_t offset, int whence) {
  std::lock_guard<std::mutex> guard(lock_);
  const std::string& path = CheckHandle(handle);
  if (whence < 0 || whence > 2) throw ArgumentError("whence must be 0, 1 or 2");
  if (offset < INT32_MIN || offset > INT32_MAX) throw FsError{EINVAL, vorel::FfsErrorText(FFS_EINVAL), path, {}};
  ffs_set_errno(fs_, 0);
  const int at = ffs_lseek(fs_, handle, static_cast<std::int32_t>(offset), whence);
  if (at < 0) Fail(path);
  return static_cast<std::uint32_t>(at);
}

std::uint32_t Image::Tell(int handle) {
  std::lock_guard<std::mutex> guard(lock_);
  const std::string& path = CheckHandle(handle);
  ffs_set_errno(fs_, 0);
  const int at = ffs_tell(fs_, handle);
  if (at < 0) Fail(path);
  return static_cast<std::uint32_t>(at);
}

void Image::Truncate(int handle, std::uint64_t length) {
  std::lock_guard<std::mutex> guard(lock_);
  const std::string& path = CheckHandle(handle);
  if (length > 0x7FFFFFFFu) throw FsError{EFBIG, std::strerror(EFBIG), path, {}};
  ffs_set_errno(fs_, 0);
  if (ffs_ftruncate(fs_, handle, static_cast<std::uint32_t>(length)) != 0) Fail(path);
}

void Image::CloseFile(int handle) {
  std::lock_guard<std::mutex> guard(lock_);
  if (closed_) return;
  const auto it = handles_.find(handle);
  if (it == handles_.end()) return;
  const std::string path = it->second;
  handles_.erase(it);
  ffs_set_errno(fs_, 0);
  if (ffs_close(fs_, handle) < 0) Fail(path);
}

void Image::Close() {
  std::lock_guard<std::mutex> guard(lock_);
  CloseLocked();
}

void Image::CloseLocked() {
  if (closed_) return;
  closed_ = true;
  for (const auto& open : handles_) ffs_close(fs_, open.first);
  handles_.clear();
  const int error = volumes_.Close();
  if (error != 0)
    throw FsError{HostErrno(error),
                  Format(vorel::msg::kCheckpointNotWritten, vorel::FfsErrorText(error)), path_, {}};
}

}  // namespace ffsimage
