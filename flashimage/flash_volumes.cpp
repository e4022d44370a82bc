// FlashVolumes set-up and the device registration module. The volume holds
// the device itself: the sector manager calls its operations directly.
#include "flashimage/flash_volumes.h"

#include <cstdio>

#include "flashimage/messages.h"
#include "ffs/ffs.h"
#include "ffs/module_table.h"
#include "ffs/volume_table.h"

namespace flashimage {

namespace {

RamNorDevice* g_currentDevice = nullptr;

constexpr std::uint32_t kDescriptorOptions = FFS_OPT_HOLD_ALLOWED;

void RegisterCurrentDevice() {
  if (g_currentDevice == nullptr) return;
  DeviceInfo info{};
  g_currentDevice->init(&info);
  VolumeDescriptor d{};
  d.name = info.name;
  d.version = FFS_DESCRIPTOR_VERSION;
  d.sector_size = info.sectorSize;
  d.block_size = info.blockSize;
  d.sector_count = info.sectorCount;
  d.start_offset = info.startOffset;
  d.device = g_currentDevice;
  d.options = kDescriptorOptions;
  ffs_add_volume(&d);  // a refused volume shows when it is mounted
}

}  // namespace

std::intptr_t DeviceRegistrationModule(int command, const char*, void*, int, int) {
  if (command == FFS_MOD_INIT) RegisterCurrentDevice();
  return 0;
}

void SetCurrentDevice(RamNorDevice* device) { g_currentDevice = device; }
RamNorDevice* CurrentDevice() { return g_currentDevice; }

FlashVolumes::~FlashVolumes() { Close(); }

int FlashVolumes::Close() {
  if (closed_ || volumeName_.empty() || !device_) return 0;
  closed_ = true;
  mounted_ = false;
  ffs_set_errno(0);
  if (private_) {
    // Nothing written to a private mapping outlives the process: a final
    // commit would be work thrown away, and its failure would not be one of
    // the run. The volume leaves as a read-only one, which commits nothing.
    if (VolumeRecord* record = ffs_find_volume(volumeName_.c_str()))
      record->flags |= FFS_VF_READ_ONLY;
  }
  int error = 0;
  if (ffs_remove_volume(volumeName_.c_str()) != 0 && ffs_errno() != FFS_ENOENT)
    error = ffs_errno() != 0 ? ffs_errno() : FFS_EIO;
  if (g_currentDevice == device_.get()) g_currentDevice = nullptr;
  if (ffs_find_volume(volumeName_.c_str()) != nullptr) {
    // A volume still refers to the device: it must live until the process ends.
    device_.release();
    image_.release();
  }
  return error;
}

bool FlashVolumes::CreateFlashVolumes(bool formatIfNeeded) {
  mounted_ = false;
  const std::uint32_t sectorSize = SectorSizeOfFlashType(flashType_);
  // A device that erases itself at start finds a new file's whole sectors
  // erased already; the tail after them stays zero.
  const std::uint32_t erasedBytes =
      volatile_ && sectorSize != 0 ? imageSize_ / sectorSize * sectorSize : 0;
  image_ = std::make_unique<MappedImageFile>(imageFileName_, volumeName_.c_str(), imageSize_,
                                             private_ ? MapMode::Private : MapMode::Shared,
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
  SetCurrentDevice(device_.get());
  ffs_add_module(DeviceRegistrationModule);
  ffs_start();
  const char* name = volumeName_.c_str();
  if (ffs_mount(name) != 0) {
    if (!formatIfNeeded) return false;
    std::printf(msg::kFormatVolume, name);
    if (ffs_format(name) != 0) return false;
    std::printf(msg::kMountVolume, name);
    if (ffs_mount(name) != 0) return false;
  }
  mounted_ = true;
  return true;
}

}  // namespace flashimage
