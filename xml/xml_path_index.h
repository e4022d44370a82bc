// XmlPathIndex: interned element paths. Every distinct path is stored once as
// (id of its parent path, last name), so an index over a document grows with
// its number of elements and the length of their names, never with the sum
// of their path lengths (which is quadratic in the nesting depth).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class XmlPathIndex {
 public:
  using Id = uint32_t;
  static constexpr Id kTop = 0;  // the empty path: the document record
  static constexpr Id kNone = UINT32_MAX;

  XmlPathIndex() { Clear(); }
  void Clear();
  // Number of paths, the empty one included; ids run from 0 to Size() - 1.
  size_t Size() const { return entries_.size(); }

  // The id of parent's path + "/" + name, added when it is new.
  Id Intern(Id parent, std::string_view name);
  // The same without adding: kNone when that path was never interned.
  Id Find(Id parent, std::string_view name) const;
  // The id of an absolute path ("/a/b"): kNone unless it starts with "/" and
  // every name of it, none empty, was interned below the previous one.
  Id FindPath(std::string_view path) const;

 private:
  struct Entry {
    Id parent;
    uint32_t hash;
    uint32_t offset;  // of the name in names_
    uint32_t length;
  };
  static uint32_t Hash(Id parent, std::string_view name);
  size_t Slot(Id parent, std::string_view name, uint32_t hash) const;
  void Grow();

  std::vector<Entry> entries_;
  std::string names_;         // every last name, one after the other
  std::vector<Id> slots_;     // open addressing, linear probing; kNone is free
};
