// libFuzzer target for flash images. Byte 0 chooses the flash type (bit 0)
// and the sector count (4 to 8); the rest is the image, padded with erased
// bytes. The image is mounted on an in-memory device as vorel mounts it;
// when the mount succeeds the tree is walked, every file read, a few files
// written, the volume unmounted and mounted again, and the tree copied out
// into a temporary host directory, which nothing may leave.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "flashimage/flash_volumes.h"
#include "flashimage/ram_nor_device.h"
#include "converter/tree_copy.h"
#include "ffs/volume_table.h"
#include "ffs/ffs.h"
#include "ffs/module_table.h"

namespace fs = std::filesystem;

namespace {

constexpr char kVolume[] = "TmpDisc";
constexpr int kMaxDepth = 24;          // directories walked below the root
constexpr size_t kMaxEntries = 4096;   // entries visited in one walk
constexpr size_t kChunk = 700;         // not a multiple of any cluster size

std::string g_sandbox;  // holds only the copy's destination "out"

std::string VolumePath(const std::string& name) { return std::string(kVolume) + "/" + name; }

struct Walk {
  size_t entries = 0;
  uint64_t imageBytes = 0;
  std::vector<std::string> files;  // volume paths of the files met
};

// Reads a whole file; a file cannot hold more data than the image.
void ReadFile(const std::string& path, const Walk& walk) {
  const int fd = ffs_open(path.c_str(), FFS_O_RDONLY, 0);
  if (fd < 0) return;
  char buffer[kChunk];
  uint64_t total = 0;
  for (int n; (n = ffs_read(fd, buffer, sizeof buffer)) > 0;) {
    total += static_cast<uint64_t>(n);
    if (total > walk.imageBytes) __builtin_trap();
  }
  ffs_close(fd);
}

void WalkDirectory(const std::string& dir, int depth, Walk& walk) {
  FileControlBlock* d = ffs_opendir(dir.c_str());
  if (d == nullptr) return;
  std::vector<std::string> names;
  while (const FfsDirent* e = ffs_readdir(d)) {
    if (++walk.entries > kMaxEntries) __builtin_trap();  // more entries than slots
    names.emplace_back(e->name, strnlen(e->name, sizeof e->name));
  }
  ffs_closedir(d);
  for (const std::string& name : names) {
    const std::string path = dir + "/" + name;
    FfsStat st{};
    if (ffs_stat(path.c_str(), &st) != 0) continue;
    if (st.mode & FFS_S_IFDIR) {
      if (depth < kMaxDepth) WalkDirectory(path, depth + 1, walk);
    } else {
      walk.files.push_back(path);
      ReadFile(path, walk);
    }
  }
}

bool WriteFile(const std::string& path, int flags, const std::string& data) {
  const int fd = ffs_open(path.c_str(), flags, 0x1C0);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t at = 0; ok && at < data.size(); at += kChunk) {
    const std::string piece = data.substr(at, kChunk);
    ok = ffs_write(fd, piece.data(), static_cast<uint32_t>(piece.size())) == static_cast<int>(piece.size());
  }
  return ffs_close(fd) == 0 && ok;
}

std::string ReadBack(const std::string& path) {
  std::string out;
  const int fd = ffs_open(path.c_str(), FFS_O_RDONLY, 0);
  if (fd < 0) return "<missing>";
  char buffer[kChunk];
  for (int n; (n = ffs_read(fd, buffer, sizeof buffer)) > 0 && out.size() < (1u << 24);)
    out.append(buffer, static_cast<size_t>(n));
  ffs_close(fd);
  return out;
}

// Registers the device as vorel does (module table, start-up) and mounts.
bool Mount(flashimage::RamNorDevice& device) {
  flashimage::SetCurrentDevice(&device);
  ffs_add_module(flashimage::DeviceRegistrationModule);
  ffs_start();
  return ffs_mount(kVolume) == 0;
}

// Removes the volume; a failed unmount leaves it registered but unmounted,
// so a second removal must succeed. The device may go only then.
void Remove() {
  if (ffs_remove_volume(kVolume) != 0 && ffs_errno() != FFS_ENOENT) ffs_remove_volume(kVolume);
  if (ffs_find_volume(kVolume) != nullptr) __builtin_trap();
  flashimage::SetCurrentDevice(nullptr);
}

// The copy out stays inside its destination: the sandbox holds "out" only.
void CopyOut() {
  const fs::path out = fs::path(g_sandbox) / "out";
  std::error_code ec;
  fs::remove_all(out, ec);
  fs::create_directory(out, ec);
  vorel::CopyFromMurvexDir(kVolume, out.string());
  size_t count = 0;
  for (const auto& e : fs::directory_iterator(g_sandbox, ec)) {
    ++count;
    if (e.path().filename() != "out" || e.is_symlink()) __builtin_trap();
  }
  if (count != 1) __builtin_trap();
  for (auto it = fs::recursive_directory_iterator(out, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_symlink() || !(it->is_regular_file() || it->is_directory())) __builtin_trap();
  fs::remove_all(out, ec);
}

// Walks, writes and unmounts; answers whether the new file must be found
// after the next mount (written whole and committed by the unmount).
bool Exercise(const std::string& payload, Walk& walk) {
  WalkDirectory(kVolume, 0, walk);
  vorel::IsVolumeRootEmpty(kVolume);
  const std::string created = VolumePath("fz_new");
  walk.files.erase(std::remove(walk.files.begin(), walk.files.end(), created), walk.files.end());
  const bool wrote = WriteFile(created, FFS_O_RDWR | FFS_O_CREAT | FFS_O_TRUNC, payload);
  ffs_mkdir(VolumePath("fz_dir").c_str(), 0x1C0);
  WriteFile(VolumePath("fz_dir/inner"), FFS_O_WRONLY | FFS_O_CREAT, payload.substr(0, 100));
  if (!walk.files.empty()) WriteFile(walk.files.front(), FFS_O_WRONLY | FFS_O_APPEND, payload.substr(0, 300));
  if (walk.files.size() > 1) ffs_unlink(walk.files.back().c_str());
  const bool unmounted = ffs_remove_volume(kVolume) == 0;
  Remove();
  return wrote && unmounted;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/image_fuzz.XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) abort();
  g_sandbox = pattern;
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(g_sandbox, ec);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint32_t sectorSize = (data[0] & 1) ? flashimage::kNewSectorSize : flashimage::kOldSectorSize;
  const uint32_t sectors = 4 + (data[0] >> 1) % 5;
  std::vector<uint8_t> image(size_t{sectorSize} * sectors, 0xFF);
  std::memcpy(image.data(), data + 1, std::min(size - 1, image.size()));
  // The payload written: the input's last bytes, so it changes with the image.
  const size_t payloadSize = std::min<size_t>(size - 1, 2500);
  const std::string payload(reinterpret_cast<const char*>(data) + size - payloadSize, payloadSize);

  Walk walk;
  walk.imageBytes = image.size();
  {
    flashimage::RamNorDevice device(kVolume, sectorSize, static_cast<uint32_t>(image.size()), image.data(), 0, false);
    if (!Mount(device)) {
      Remove();
      return 0;
    }
    const bool committed = Exercise(payload, walk);
    // Mounted again after the final commit: the file written is there.
    if (Mount(device)) {
      if (committed && ReadBack(VolumePath("fz_new")) != payload) __builtin_trap();
      Walk again;
      again.imageBytes = image.size();
      WalkDirectory(kVolume, 0, again);
      CopyOut();
    }
    Remove();
  }
  return 0;
}
