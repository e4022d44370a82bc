// FlashVolumes: puts the image file, the simulated NOR device and the file
// system together for one run. One volume, registered and mounted by name.
#pragma once

#include <cstdint>
#include <string>

namespace vorel {

inline constexpr char kVolumeName[] = "TmpDisc";

class FlashVolumes {
 public:
  FlashVolumes() = default;
  ~FlashVolumes();
  FlashVolumes(const FlashVolumes&) = delete;
  FlashVolumes& operator=(const FlashVolumes&) = delete;

  void SetVolumeFileName(const std::string& path) { imageFileName_ = path; }
  void SetVolumeSize(std::uint32_t bytes) { imageSize_ = bytes; }
  void SetFlashType(std::uint32_t code) { flashType_ = code; }
  void SetVolumeVolatileFlag(bool isVolatile) { volatile_ = isVolatile; }

  // Maps the image, builds the device, starts the file system and mounts the
  // volume (formatting first when isPtf and the image does not mount).
  bool CreateFlashVolumes(bool isPtf);

  const std::string& VolumeName() const { return volumeName_; }
  const std::string& VolumeFileName() const { return imageFileName_; }
  std::uint32_t VolumeSize() const { return imageSize_; }
  std::uint32_t FlashType() const { return flashType_; }
  bool VolatileFlag() const { return volatile_; }
  bool Mounted() const { return mounted_; }

 private:
  std::string volumeName_ = kVolumeName;
  std::string imageFileName_;
  std::uint32_t flashType_ = 0;
  std::uint32_t imageSize_ = 0;
  bool volatile_ = true;
  bool mounted_ = false;
};

}  // namespace vorel
