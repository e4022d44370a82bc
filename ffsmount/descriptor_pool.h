// Shares the file system's few control blocks among any number of open host
// files: one descriptor per file (by serial), opened for writing once any
// host handle writes, closed again when the last host handle is released or
// when the least recently used one must make room. Host handles name files by
// serial; the descriptor is found again by path, so nothing is lost when it
// was closed in between.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ffsmount/image_fs.h"

namespace ffsmount {

class DescriptorPool {
 public:
  // capacity: the descriptors kept open at most (one control block of the
  // file system stays free for directory listings).
  DescriptorPool(ImageFs& fs, int capacity) : fs_(fs), capacity_(capacity) {}

  // The descriptor of the file at path (opened for writing when asked), or
  // -errno. held: the serial a host handle names (0: none); a held file
  // whose names are gone is found by it alone. serial, when given, receives
  // the file's serial.
  int Acquire(const std::string& path, bool write, std::uint32_t held = 0,
              std::uint32_t* serial = nullptr);
  // Creates the file (it must not exist) and keeps its descriptor.
  int Create(const std::string& path, std::uint16_t permissions, std::uint32_t& serial);

  // Host handles: a file with open host handles whose last name is removed
  // keeps its descriptor until the last of them is released.
  void HostOpened(std::uint32_t serial) { ++hostOpens_[serial]; }
  int HostReleased(std::uint32_t serial);
  bool HostHolds(std::uint32_t serial) const { return hostOpens_.count(serial) != 0; }

  // Before a name of the file at path goes: a descriptor no host handle
  // needs is closed; when the last name goes while a host handle holds the
  // file, its descriptor is opened if need be and kept (the file lives on
  // while it is open) until the last handle is released.
  int Unlinking(const std::string& path, std::uint32_t serial, bool lastName);
  // Closes every descriptor (the final commit needs none open).
  int CloseAll();
  std::size_t Open() const { return slots_.size(); }

 private:
  struct Slot {
    std::uint32_t serial;
    int fd;
    bool write;
    bool unlinked;  // no name left: never closed while a host handle holds it
    std::uint64_t lastUse;
  };
  Slot* Find(std::uint32_t serial);
  int Close(std::uint32_t serial);
  int MakeRoom();

  ImageFs& fs_;
  int capacity_;
  std::vector<Slot> slots_;
  std::map<std::uint32_t, int> hostOpens_;
  std::uint64_t clock_ = 0;
};

}  // namespace ffsmount
