// ImageFs: the mount's paths become the volume's ("/a" -> "TmpDisc/a"), each
// request one ffs_* call, each failure the host's errno. The image is mounted
// once per process; a writable one holds its commits until Commit is asked.
#include "ffsmount/image_fs.h"

#include <cerrno>
#include <climits>

#include "hostcli/host_paths.h"
#include "ffs/ffs.h"
#include "ffs/host_errno.h"
#include "ffs/file_control_block.h"

namespace ffsmount {

const int ImageFs::kControlBlocks = FFS_FCB_COUNT;
const std::uint32_t ImageFs::kNameMax = FFS_NAME_MAX;

namespace {

// 0 stays 0; a failed call (-1) becomes the host's -errno.
int Result(int rc) { return rc >= 0 ? rc : -ImageFs::HostErrno(ffs_errno()); }

}  // namespace

int ImageFs::HostErrno(int ffsError) {
  if (ffsError == FFS_ENXIO) return ENOENT;  // the volume itself is always there
  if (ffsError == FFS_EBADF) return EIO;     // a descriptor of the driver's own, lost
  return FfsHostErrno(ffsError);
}

ImageFs::~ImageFs() { Close(); }

OpenStatus ImageFs::Open(const std::string& imagePath, flashimage::FlashTypeCode type, bool writable) {
  writable_ = writable;
  volumes_ = std::make_unique<flashimage::FlashVolumes>();
  const auto absolute = hostcli::MakeAbsolute(imagePath);
  const std::string path = absolute ? *absolute : imagePath;
  volumes_->SetVolumeFileName(path);
  volumes_->SetFlashType(static_cast<std::uint32_t>(type));
  volumes_->SetVolumeVolatileFlag(false);  // the image is taken as it is
  volumes_->SetPrivateMapping(!writable);
  if (const auto size = hostcli::FileSize(path); size && *size > 0 && *size <= UINT32_MAX)
    volumes_->SetVolumeSize(static_cast<std::uint32_t>(*size));
  ffs_set_errno(0);
  if (!volumes_->CreateFlashVolumes(false)) {
    const flashimage::MappedImageFile* image = volumes_->Image();
    mountError_ = ffs_errno();
    hostError_ = image ? image->HostError() : 0;
    if (hostError_ == flashimage::kImageLocked) return OpenStatus::Locked;
    return image && image->View() ? OpenStatus::NoMount : OpenStatus::CannotOpen;
  }
  if (writable_) ffs_hold_commits(volumes_->VolumeName().c_str());
  return OpenStatus::Mounted;
}

int ImageFs::Close() {
  if (!volumes_) return 0;
  int rc = 0;
  if (volumes_->Mounted() && writable_) rc = Commit();
  const int error = volumes_->Close();
  volumes_.reset();  // closes the image file, which ends its lock
  if (rc == 0 && error != 0) rc = -HostErrno(error);
  return rc;
}

int ImageFs::Commit() { return Result(ffs_sync(volumes_->VolumeName().c_str())); }

std::string ImageFs::VolumePath(const std::string& path) const {
  const std::string& volume = volumes_->VolumeName();
  return path.empty() || path == "/" ? volume : volume + (path[0] == '/' ? "" : "/") + path;
}

int ImageFs::Stat(const std::string& path, NodeStat& out) const {
  FfsStat st{};
  if (ffs_stat(VolumePath(path).c_str(), &st) != 0) return Result(-1);
  out.serial = st.ino;
  out.directory = (st.mode & FFS_S_IFDIR) != 0;
  out.permissions = static_cast<std::uint16_t>(st.mode & ~FFS_S_IFDIR);
  out.links = st.nlink;
  out.size = out.directory ? 0 : st.size;
  out.accessTime = st.atime;
  out.modifyTime = st.mtime;
  return 0;
}

int ImageFs::List(const std::string& path, std::vector<std::string>& names) const {
  FileControlBlock* dir = ffs_opendir(VolumePath(path).c_str());
  if (dir == nullptr) return Result(-1);
  names.clear();
  while (const FfsDirent* e = ffs_readdir(dir)) names.emplace_back(e->name);
  ffs_closedir(dir);
  return 0;
}

int ImageFs::Space(SpaceStat& out) const {
  FfsVolumeStats s{};
  if (ffs_volume_stats(volumes_->VolumeName().c_str(), &s) != 0) return Result(-1);
  out.clusterSize = s.cluster_size;
  out.usableClusters = s.usable_clusters;
  out.freeBytes = s.free_bytes;
  return 0;
}

int ImageFs::OpenFile(const std::string& path, bool write, bool create, std::uint16_t permissions) {
  int flags = write ? FFS_O_RDWR : FFS_O_RDONLY;
  if (create) flags |= FFS_O_CREAT | FFS_O_EXCL;
  return Result(ffs_open(VolumePath(path).c_str(), flags, create ? permissions : 0));
}

int ImageFs::CloseFile(int fd) { return Result(ffs_close(fd)); }

int ImageFs::Read(int fd, std::uint32_t offset, void* buffer, std::uint32_t count) {
  if (offset > INT32_MAX) return 0;  // no file reaches so far
  if (ffs_lseek(fd, static_cast<std::int32_t>(offset), 0) < 0) return Result(-1);
  return Result(ffs_read(fd, buffer, count));
}

int ImageFs::Write(int fd, std::uint32_t offset, const void* buffer, std::uint32_t count) {
  if (offset > INT32_MAX || count > INT32_MAX - offset) return -EFBIG;
  if (ffs_lseek(fd, static_cast<std::int32_t>(offset), 0) < 0) return Result(-1);
  return Result(ffs_write(fd, buffer, count));
}

int ImageFs::Truncate(const std::string& path, std::uint32_t length) {
  if (length > INT32_MAX) return -EFBIG;
  return Result(ffs_truncate(VolumePath(path).c_str(), length));
}

int ImageFs::Mkdir(const std::string& path, std::uint16_t permissions) {
  return Result(ffs_mkdir(VolumePath(path).c_str(), permissions));
}

int ImageFs::Unlink(const std::string& path) { return Result(ffs_unlink(VolumePath(path).c_str())); }
int ImageFs::Rmdir(const std::string& path) { return Result(ffs_rmdir(VolumePath(path).c_str())); }

int ImageFs::Rename(const std::string& from, const std::string& to) {
  return Result(ffs_rename(VolumePath(from).c_str(), VolumePath(to).c_str()));
}

int ImageFs::Link(const std::string& existing, const std::string& name) {
  return Result(ffs_link(VolumePath(existing).c_str(), VolumePath(name).c_str()));
}

int ImageFs::Chmod(const std::string& path, std::uint16_t permissions) {
  return Result(ffs_chmod(VolumePath(path).c_str(), permissions));
}

int ImageFs::SetTimes(const std::string& path, std::uint32_t accessTime, std::uint32_t modifyTime) {
  const std::uint32_t times[2] = {modifyTime, accessTime};  // first and second time stamp
  return Result(ffs_set_times(VolumePath(path).c_str(), times));
}

}  // namespace ffsmount
