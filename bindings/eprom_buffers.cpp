// Eprom buffers: allocation with a size registry, so the module never indexes or
// copies past the end of a buffer it handed out and never frees a pointer it did
// not allocate.
#include "bindings/eprom_buffers.h"

#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

namespace torvane {
namespace {

struct Buffer {
  std::unique_ptr<unsigned char[]> bytes;
  int size;
};

// The buffers handed out and not yet deleted, by address.
std::map<const void*, Buffer>& Buffers() {
  static std::map<const void*, Buffer> buffers;
  return buffers;
}

unsigned char* Checked(const void* buffer, int index) {
  if (buffer == nullptr) throw std::invalid_argument("Eprom buffer is null");
  auto found = Buffers().find(buffer);
  if (found != Buffers().end() && (index < 0 || index >= found->second.size)) {
    throw std::out_of_range("Eprom index " + std::to_string(index) + " outside 0.." +
                            std::to_string(found->second.size - 1));
  }
  return static_cast<unsigned char*>(const_cast<void*>(buffer)) + index;
}

}  // namespace

void* NewEprom(int size) {
  if (size < 0) return nullptr;
  Buffer buffer{std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[size > 0 ? size : 1]), size};
  if (!buffer.bytes) return nullptr;
  void* address = buffer.bytes.get();
  Buffers().emplace(address, std::move(buffer));
  return address;
}

void DeleteEprom(void* buffer) {
  if (buffer == nullptr) return;
  if (Buffers().erase(buffer) == 0) throw std::invalid_argument("not an Eprom buffer of this module");
}

unsigned char EpromGet(const void* buffer, int index) { return *Checked(buffer, index); }

void EpromSet(void* buffer, int index, unsigned char value) { *Checked(buffer, index) = value; }

bool IsEprom(const void* buffer) { return Buffers().count(buffer) != 0; }

bool EpromHolds(const void* buffer, std::size_t needed) {
  auto found = Buffers().find(buffer);
  return found == Buffers().end() || static_cast<std::size_t>(found->second.size) >= needed;
}

}  // namespace torvane
