// FlashVolumes: puts the image file, the simulated NOR device and the file
// system together for one run. One volume, registered and mounted by name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "flashimage/flash_types.h"
#include "flashimage/mapped_image_file.h"
#include "flashimage/ram_nor_device.h"
#include "ffs/ffs.h"

namespace flashimage {

inline constexpr char kVolumeName[] = "TmpDisc";

// The device registration module of a file system's module table: on
// command 0 it registers that file system's current device as a volume.
std::intptr_t DeviceRegistrationModule(FileSystem& fs, int command, const char* name,
                                       void* result, int mode, int lock);

// The device the registration module registers in a file system (may be
// null); without a file system, the default one's.
void SetCurrentDevice(FileSystem& fs, RamNorDevice* device);
RamNorDevice* CurrentDevice(FileSystem& fs);
inline void SetCurrentDevice(RamNorDevice* device) { SetCurrentDevice(ffs_default(), device); }
inline RamNorDevice* CurrentDevice() { return CurrentDevice(ffs_default()); }

class FlashVolumes {
 public:
  // The volumes live in the given file system (the default one of the plain
  // ffs_* calls unless another is named).
  explicit FlashVolumes(FileSystem& fs = ffs_default()) : fs_(fs) {}
  // Closes the volumes when Close was not called; its result is lost there.
  ~FlashVolumes();
  FlashVolumes(const FlashVolumes&) = delete;
  FlashVolumes& operator=(const FlashVolumes&) = delete;

  void SetVolumeFileName(const std::string& path) { imageFileName_ = path; }
  void SetVolumeSize(std::uint32_t bytes) { imageSize_ = bytes; }
  void SetFlashType(std::uint32_t code) { flashType_ = code; }
  void SetVolumeVolatileFlag(bool isVolatile) { volatile_ = isVolatile; }
  // A private mapping keeps every change (recovery at mount, the final
  // commit) in memory: the image file is never written.
  void SetPrivateMapping(bool isPrivate) { private_ = isPrivate; }
  // A new image built in memory (MapMode::Buffered) reaches its file after
  // the mount (a formatted, mounted image) and at Close: in between the file
  // holds the image as mounted. Ignored with a private mapping.
  void SetBuiltInMemory(bool inMemory) { inMemory_ = inMemory; }

  // Maps the image, builds the device, starts the file system and mounts the
  // volume (formatting first when formatIfNeeded and the image does not mount).
  bool CreateFlashVolumes(bool formatIfNeeded);
  // Removes the volume by name, which unmounts it with its final commit.
  // Answers 0, or the file system's error number when that commit (or the
  // removal) failed: the image then lacks what the run stored since the last
  // checkpoint. Over a private mapping no commit is made (it could reach
  // nothing). A buffered image's changes are written to its file here
  // (FFS_EIO when the host refused them). Image and device are then unmapped and closed (the image's
  // lock is freed), unless a volume still refers to them: then they live on
  // until the process ends. Later calls answer 0.
  int Close();

  const std::string& VolumeName() const { return volumeName_; }
  const std::string& VolumeFileName() const { return imageFileName_; }
  std::uint32_t VolumeSize() const { return imageSize_; }
  std::uint32_t FlashType() const { return flashType_; }
  bool VolatileFlag() const { return volatile_; }
  bool Mounted() const { return mounted_; }
  RamNorDevice* Device() const { return device_.get(); }
  MappedImageFile* Image() const { return image_.get(); }
  FileSystem& Files() const { return fs_; }

 private:
  // Writes what the device changed since the last call to a buffered
  // image's file: 0 or the host's error number.
  int WriteBackChanges();
  FileSystem& fs_;
  std::string volumeName_ = kVolumeName;
  std::string imageFileName_;
  std::uint32_t flashType_ = static_cast<std::uint32_t>(FlashTypeCode::None);
  std::uint32_t imageSize_ = 0;
  bool volatile_ = true;
  bool private_ = false;
  bool inMemory_ = false;
  bool wholeImageWritten_ = false;
  std::unique_ptr<RamNorDevice> device_;
  std::unique_ptr<MappedImageFile> image_;
  bool mounted_ = false;
  bool closed_ = false;
};

}  // namespace flashimage
