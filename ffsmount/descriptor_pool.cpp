// The descriptor pool: at most `capacity` descriptors, one per file, least
// recently used first to go; a file whose last name was removed keeps its
// descriptor while a host handle holds it, since it cannot be opened again.
#include "ffsmount/descriptor_pool.h"

#include <algorithm>
#include <cerrno>

namespace ffsmount {

DescriptorPool::Slot* DescriptorPool::Find(std::uint32_t serial) {
  for (Slot& s : slots_)
    if (s.serial == serial) return &s;
  return nullptr;
}

int DescriptorPool::Close(std::uint32_t serial) {
  const auto it = std::find_if(slots_.begin(), slots_.end(),
                               [&](const Slot& s) { return s.serial == serial; });
  if (it == slots_.end()) return 0;
  const int fd = it->fd;
  slots_.erase(it);
  return fs_.CloseFile(fd);
}

int DescriptorPool::MakeRoom() {
  if (static_cast<int>(slots_.size()) < capacity_) return 0;
  Slot* victim = nullptr;
  for (Slot& s : slots_)
    if (!s.unlinked && (victim == nullptr || s.lastUse < victim->lastUse)) victim = &s;
  if (victim == nullptr) return -EMFILE;  // every block holds a file without a name
  return Close(victim->serial);
}

int DescriptorPool::Acquire(const std::string& path, bool write, std::uint32_t held,
                            std::uint32_t* serial) {
  if (Slot* s = held != 0 ? Find(held) : nullptr; s != nullptr && s->unlinked) {
    if (write && !s->write) return -EBADF;
    if (serial) *serial = held;
    return s->fd;
  }
  NodeStat st;
  if (const int rc = fs_.Stat(path, st); rc != 0) return rc;
  if (st.directory) return -EISDIR;
  if (serial) *serial = st.serial;
  if (Slot* s = Find(st.serial)) {
    if (s->write || !write) {
      s->lastUse = ++clock_;
      return s->fd;
    }
    if (const int rc = Close(st.serial); rc != 0) return rc;  // reopened for writing below
  }
  if (const int rc = MakeRoom(); rc != 0) return rc;
  const int fd = fs_.OpenFile(path, write, false, 0);
  if (fd < 0) return fd;
  slots_.push_back({st.serial, fd, write, false, ++clock_});
  return fd;
}

int DescriptorPool::Create(const std::string& path, std::uint16_t permissions,
                           std::uint32_t& serial) {
  if (const int rc = MakeRoom(); rc != 0) return rc;
  const int fd = fs_.OpenFile(path, true, true, permissions);
  if (fd < 0) return fd;
  NodeStat st;
  if (const int rc = fs_.Stat(path, st); rc != 0) {
    fs_.CloseFile(fd);
    return rc;
  }
  serial = st.serial;
  slots_.push_back({st.serial, fd, true, false, ++clock_});
  return fd;
}

int DescriptorPool::HostReleased(std::uint32_t serial) {
  const auto it = hostOpens_.find(serial);
  if (it == hostOpens_.end() || --it->second > 0) return 0;
  hostOpens_.erase(it);
  return Close(serial);
}

int DescriptorPool::Unlinking(const std::string& path, std::uint32_t serial, bool lastName) {
  if (!HostHolds(serial)) return Close(serial);
  // Other names stay: the descriptor keeps serving the host handles, even
  // when it was opened through the name that goes.
  if (!lastName) return 0;
  // The file lives on in its descriptor alone, which must serve every host
  // handle, writers too.
  if (const Slot* s = Find(serial); s != nullptr && !s->write && fs_.Writable()) {
    if (const int rc = Close(serial); rc != 0) return rc;
  }
  if (Find(serial) == nullptr) {
    const int fd = Acquire(path, fs_.Writable());
    if (fd < 0) return fd;
  }
  Find(serial)->unlinked = true;
  return 0;
}

int DescriptorPool::CloseAll() {
  int rc = 0;
  while (!slots_.empty()) {
    const int r = Close(slots_.back().serial);
    if (rc == 0) rc = r;
  }
  return rc;
}

}  // namespace ffsmount
