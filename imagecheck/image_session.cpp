// Opening an image for inspection: the size and stored signatures are read
// from the file, then FlashVolumes maps it privately and mounts it. The
// mapping is never shared, so no write of the file system reaches the file.
#include "imagecheck/image_session.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "hostcli/host_paths.h"
#include "ffs/ffs.h"
#include "ffs/file_system.h"
#include "ffs/volume_table.h"
#include "ffs/nor/sector_header.h"

namespace inspect {

namespace {

constexpr std::uint32_t kMinSectors = 4;

}  // namespace

ImageSession::ImageSession(const std::string& path, flashimage::FlashTypeCode type) {
  const auto absolute = hostcli::MakeAbsolute(path);
  path_ = absolute ? *absolute : path;
  sectorSize_ = flashimage::SectorSizeOfFlashType(static_cast<std::uint32_t>(type));
  const auto size = hostcli::FileSize(path_);
  struct stat st {};
  if (!size || *size == 0 || stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      sectorSize_ == 0) {
    status_ = SessionStatus::CannotOpen;
    return;
  }
  const unsigned long long sectors = *size / sectorSize_;
  sectorCount_ = sectors > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(sectors);
  nor::Geometry g;
  if (sectorCount_ < kMinSectors ||
      !nor::Geometry::Derive(sectorSize_, flashimage::kDeviceBlockSize, sectorCount_, 0, g)) {
    status_ = SessionStatus::TooSmall;
    return;
  }
  if (!ReadStoredSignatures(g)) {
    status_ = SessionStatus::CannotOpen;
    return;
  }
  volumes_.SetVolumeFileName(path_);
  volumes_.SetFlashType(static_cast<std::uint32_t>(type));
  volumes_.SetVolumeVolatileFlag(false);  // the image is read as it is
  volumes_.SetPrivateMapping(true);
  ffs_set_errno(files_, 0);
  if (!volumes_.CreateFlashVolumes(false)) {
    mountError_ = ffs_errno(files_);
    const flashimage::MappedImageFile* image = volumes_.Image();
    status_ = image && image->View()                               ? SessionStatus::NoMount
            : image && image->HostError() == flashimage::kImageLocked ? SessionStatus::Locked
                                                                      : SessionStatus::CannotOpen;
    return;
  }
  status_ = SessionStatus::Mounted;
}

bool ImageSession::ReadStoredSignatures(const nor::Geometry& g) {
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  stored_.assign(sectorCount_, Signature{});
  bool ok = true;
  for (std::uint32_t s = 0; s < sectorCount_ && ok; ++s) {
    const off_t at = off_t(g.SectorAddress(s)) + off_t(nor::SignatureOffset(g));
    ok = pread(fd, stored_[s].data(), stored_[s].size(), at) == ssize_t(stored_[s].size());
  }
  close(fd);
  return ok;
}

nor::Volume* ImageSession::Volume() const {
  if (status_ != SessionStatus::Mounted) return nullptr;
  VolumeRecord* record = ffs_find_volume(files_, volumes_.VolumeName().c_str());
  return record ? record->nor : nullptr;
}

Signature ImageSession::MountedSignature(std::uint32_t sector) const {
  Signature out{};
  const nor::Volume* v = Volume();
  if (v == nullptr || sector >= v->geo.sector_count) return out;
  const std::uint8_t* view = volumes_.Image()->View();
  std::memcpy(out.data(), view + v->geo.SectorAddress(sector) + nor::SignatureOffset(v->geo),
              out.size());
  return out;
}

}  // namespace inspect
