// An image file opened for inspection: mapped privately (copy-on-write), so
// that whatever mount repairs, and the final commit when the session ends,
// stay in memory; the file's bytes and modification time never change.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "flashimage/flash_types.h"
#include "flashimage/flash_volumes.h"
#include "ffs/file_system.h"
#include "ffs/nor/geometry.h"
#include "ffs/nor/volume.h"

namespace inspect {

enum class SessionStatus {
  Mounted,
  CannotOpen,   // the file cannot be read (missing, empty, a directory)
  TooSmall,     // fewer than four whole sectors of the flash type
  Locked,       // another process holds the image (mounted read-write by ffsmount)
  NoMount,      // the file system refused to mount it (mountError() tells why)
};

using Signature = std::array<std::uint8_t, 4>;

class ImageSession {
 public:
  ImageSession(const std::string& path, flashimage::FlashTypeCode type);
  ImageSession(const ImageSession&) = delete;
  ImageSession& operator=(const ImageSession&) = delete;

  SessionStatus Status() const { return status_; }
  int MountError() const { return mountError_; }
  const std::string& Path() const { return path_; }
  std::uint32_t SectorSize() const { return sectorSize_; }
  std::uint32_t SectorCount() const { return sectorCount_; }
  // The mounted volume's RAM state; null unless Status() is Mounted.
  nor::Volume* Volume() const;
  // Sector signatures as stored in the file, read before mounting.
  const std::vector<Signature>& StoredSignatures() const { return stored_; }
  // A sector's signature as the mounted volume sees it now.
  Signature MountedSignature(std::uint32_t sector) const;
  const char* VolumeName() const { return volumes_.VolumeName().c_str(); }
  // The session's own file system: the image's volume is the only one in it,
  // whatever other images the process holds.
  FileSystem& Files() { return files_; }

 private:
  bool ReadStoredSignatures(const nor::Geometry& g);

  mutable FileSystem files_;  // looked up by const queries
  flashimage::FlashVolumes volumes_{files_};
  std::string path_;
  std::uint32_t sectorSize_ = 0;
  std::uint32_t sectorCount_ = 0;
  SessionStatus status_ = SessionStatus::CannotOpen;
  int mountError_ = 0;
  std::vector<Signature> stored_;
};

}  // namespace inspect
