// An in-memory stand-in for the sector manager's cache, allocation and
// commits, for file-layer tests: a volume is "mounted" with a fresh root in
// RAM, its clusters live in a byte array, the cache holds at most the
// volume's cache size of entries. Unmount keeps the state so that a mount of
// the same name brings it back unchanged.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ffs/ffs.h"
#include "ffs/sector_services.h"

namespace testsupport {

class RamSectorServices {
 public:
  // Installs the services and a mount module for them.
  RamSectorServices();
  ~RamSectorServices();
  RamSectorServices(const RamSectorServices&) = delete;
  RamSectorServices& operator=(const RamSectorServices&) = delete;

  // Registers a volume of sectorCount sectors of sectorSize bytes and mounts
  // it with an empty root (mode 7, owner 0). 0 or -1.
  int AddVolume(const std::string& name, std::uint32_t sectorSize, std::uint32_t sectorCount,
                std::uint32_t options = FFS_OPT_HOLD_ALLOWED);

  // Limits the clusters that allocation may hand out from now on.
  void LimitFreeClusters(VolumeRecord* v, std::uint32_t count);
  std::uint32_t FreeCount(VolumeRecord* v) const;
  int Syncs() const { return syncs_; }
  int Flushes() const { return flushes_; }
  int ClusterReads() const { return clusterReads_; }
  int CachedEntries(VolumeRecord* v) const;

  struct Entry {
    std::uint32_t cluster;
    std::vector<std::uint8_t> data;
    int state = FFS_ENTRY_CLEAN;
    int use = 0;
    std::uint64_t released = 0;
  };
  struct State {
    std::unique_ptr<nor::Volume> nor;  // kept here while unmounted
    std::vector<std::uint8_t> flash;
    std::deque<std::uint32_t> free;
    std::map<std::uint32_t, std::unique_ptr<Entry>> cache;
  };

  static RamSectorServices* Current() { return current_; }
  State* StateOf(VolumeRecord* v);
  void WriteBack(VolumeRecord* v, Entry& e);
  int syncs_ = 0, flushes_ = 0, clusterReads_ = 0, readLimitRuns_ = 0;
  std::uint64_t clock_ = 0;

 private:
  static inline RamSectorServices* current_ = nullptr;
  std::map<VolumeRecord*, State> states_;
  std::vector<std::string> names_;
  const FfsSectorServices* previous_;
  FsModuleHandler savedModule_;
};

}  // namespace testsupport
