// FlashVolumes set-up and the device registration module. The volume holds
// the device itself: the sector manager calls its operations directly.
#include "flashimage/flash_volumes.h"

#include <cstdio>

#include "flashimage/messages.h"
#include "ffs/ffs.h"
#include "ffs/file_system.h"
#include "ffs/module_table.h"
#include "ffs/volume_table.h"

namespace flashimage {

namespace {

constexpr std::uint32_t kDescriptorOptions = FFS_OPT_HOLD_ALLOWED;

void RegisterCurrentDevice(FileSystem& fs) {
  RamNorDevice* device = CurrentDevice(fs);
  if (device == nullptr) return;
  DeviceInfo info{};
  device->init(&info);
  VolumeDescriptor d{};
  d.name = info.name;
  d.version = FFS_DESCRIPTOR_VERSION;
  d.sector_size = info.sectorSize;
  d.block_size = info.blockSize;
  d.sector_count = info.sectorCount;
  d.start_offset = info.startOffset;
  d.device = device;
  d.options = kDescriptorOptions;
  ffs_add_volume(fs, &d);  // a refused volume shows when it is mounted
}

}  // namespace

std::intptr_t DeviceRegistrationModule(FileSystem& fs, int command, const char*, void*, int, int) {
  if (command == FFS_MOD_INIT) RegisterCurrentDevice(fs);
  return 0;
}

void SetCurrentDevice(FileSystem& fs, RamNorDevice* device) { fs.host_data = device; }
RamNorDevice* CurrentDevice(FileSystem& fs) { return static_cast<RamNorDevice*>(fs.host_data); }

FlashVolumes::~FlashVolumes() { Close(); }

int FlashVolumes::Close() {
  if (closed_ || volumeName_.empty() || !device_) return 0;
  closed_ = true;
  mounted_ = false;
  ffs_set_errno(fs_, 0);
  if (private_) {
    // Nothing written to a private mapping outlives the process: a final
    // commit would be work thrown away, and its failure would not be one of
    // the run. The volume leaves as a read-only one, which commits nothing.
    if (VolumeRecord* record = ffs_find_volume(fs_, volumeName_.c_str()))
      record->flags |= FFS_VF_READ_ONLY;
  }
  int error = 0;
  if (ffs_remove_volume(fs_, volumeName_.c_str()) != 0 && ffs_errno(fs_) != FFS_ENOENT)
    error = ffs_errno(fs_) != 0 ? ffs_errno(fs_) : FFS_EIO;
  if (WriteBackChanges() != 0 && error == 0) error = FFS_EIO;
  if (CurrentDevice(fs_) == device_.get()) SetCurrentDevice(fs_, nullptr);
  if (ffs_find_volume(fs_, volumeName_.c_str()) != nullptr) {
    // A volume still refers to the device: it must live until the process ends.
    device_.release();
    image_.release();
  } else {
    // Unmapped and closed now, not when the object goes: the image's lock is
    // free for the next user as soon as the volume is.
    device_.reset();
    image_.reset();
  }
  return error;
}

int FlashVolumes::WriteBackChanges() {
  if (!image_ || !device_ || image_->Mode() != MapMode::Buffered) return 0;
  if (image_->Created() && !wholeImageWritten_) {
    // A new file is only sized: the first write-back writes all of it.
    device_->TakeChanged();
    if (const int rc = image_->WriteBack(0, image_->Size()); rc != 0) return rc;
    wholeImageWritten_ = true;
    return 0;
  }
  for (const auto& [offset, bytes] : device_->TakeChanged())
    if (const int rc = image_->WriteBack(offset, bytes); rc != 0) return rc;
  return 0;
}

bool FlashVolumes::CreateFlashVolumes(bool formatIfNeeded) {
  mounted_ = false;
  const std::uint32_t sectorSize = SectorSizeOfFlashType(flashType_);
  // A device that erases itself at start finds a new file's whole sectors
  // erased already; the tail after them stays zero.
  const std::uint32_t erasedBytes =
      volatile_ && sectorSize != 0 ? imageSize_ / sectorSize * sectorSize : 0;
  image_ = std::make_unique<MappedImageFile>(imageFileName_, volumeName_.c_str(), imageSize_,
                                             private_    ? MapMode::Private
                                             : inMemory_ ? MapMode::Buffered
                                                         : MapMode::Shared,
                                             erasedBytes);
  // A file the host refused (no space, no permission) is not replaced by memory.
  if (image_->HostError() != 0) return false;
  // Over a view the device never reaches beyond the mapped bytes.
  const std::uint32_t deviceSize = image_->View() ? image_->Size() : imageSize_;
  device_ = std::make_unique<RamNorDevice>(volumeName_, sectorSize, deviceSize, image_->View(), 0,
                                           volatile_);
  // A new file written erased is not read again to learn that it is.
  if (erasedBytes != 0 && image_->Created() && image_->View() &&
      deviceSize / sectorSize * sectorSize <= erasedBytes)
    device_->TakeAsErased();
  SetCurrentDevice(fs_, device_.get());
  ffs_add_module(fs_, DeviceRegistrationModule);
  ffs_start(fs_);
  const char* name = volumeName_.c_str();
  if (ffs_mount(fs_, name) != 0) {
    if (!formatIfNeeded) return false;
    std::printf(msg::kFormatVolume, name);
    if (ffs_format(fs_, name) != 0) return false;
    std::printf(msg::kMountVolume, name);
    if (ffs_mount(fs_, name) != 0) return false;
  }
  // The file holds a mounted image from here on, also when the run ends early.
  if (WriteBackChanges() != 0) return false;
  mounted_ = true;
  return true;
}

}  // namespace flashimage
