// Interned paths in an open-addressing table over (parent id, name). The table
// is kept at most half full, so a probe stays short; names are copied into one
// buffer, so the index outlives changes to the tree's strings.
#include "xml/xml_path_index.h"

void XmlPathIndex::Clear() {
  entries_.assign(1, Entry{kNone, 0, 0, 0});
  names_.clear();
  slots_.assign(64, kNone);
}

uint32_t XmlPathIndex::Hash(Id parent, std::string_view name) {
  uint64_t hash = 0x9E3779B97F4A7C15ull ^ parent;
  for (unsigned char c : name) hash = (hash ^ c) * 0x100000001B3ull;
  hash ^= hash >> 29;
  return static_cast<uint32_t>(hash * 0xBF58476D1CE4E5B9ull >> 32);
}

// The slot holding (parent, name), or the free slot where it belongs.
size_t XmlPathIndex::Slot(Id parent, std::string_view name, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    Id id = slots_[slot];
    if (id == kNone) return slot;
    const Entry& entry = entries_[id];
    if (entry.hash == hash && entry.parent == parent && entry.length == name.size() &&
        names_.compare(entry.offset, entry.length, name) == 0)
      return slot;
  }
}

void XmlPathIndex::Grow() {
  slots_.assign(slots_.size() * 2, kNone);
  const size_t mask = slots_.size() - 1;
  for (Id id = 1; id < entries_.size(); ++id) {
    size_t slot = entries_[id].hash & mask;
    while (slots_[slot] != kNone) slot = (slot + 1) & mask;
    slots_[slot] = id;
  }
}

XmlPathIndex::Id XmlPathIndex::Intern(Id parent, std::string_view name) {
  const uint32_t hash = Hash(parent, name);
  size_t slot = Slot(parent, name, hash);
  if (slots_[slot] != kNone) return slots_[slot];
  const Id id = static_cast<Id>(entries_.size());
  entries_.push_back(Entry{parent, hash, static_cast<uint32_t>(names_.size()), static_cast<uint32_t>(name.size())});
  names_.append(name.data(), name.size());
  slots_[slot] = id;
  if (entries_.size() * 2 > slots_.size()) Grow();
  return id;
}

XmlPathIndex::Id XmlPathIndex::Find(Id parent, std::string_view name) const {
  return slots_[Slot(parent, name, Hash(parent, name))];
}

XmlPathIndex::Id XmlPathIndex::FindPath(std::string_view path) const {
  if (path.empty() || path[0] != '/') return kNone;
  Id id = kTop;
  size_t start = 1;
  for (;;) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end == start) return kNone;
    id = Find(id, path.substr(start, end - start));
    if (id == kNone || end == path.size()) return id;
    start = end + 1;
  }
}
