// The cluster cache of a mounted volume: a few one-cluster buffers found by
// hash, reused least-recently-released first, written back copy-on-write.
// New clusters are written in ascending order within their sector, so each
// sector is programmed strictly upwards.
#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "ffs/nor/node_table.h"

namespace nor {

class Volume;

enum class EntryState : uint16_t {
  Clean = 0,
  New = 1,       // taken from the free list, never written
  Modified = 2,  // holds data that differs from the cluster on flash
};

struct CacheEntry {
  uint32_t cluster = kNone32;
  NodeSlot* owner = nullptr;  // the inode record whose chain holds the cluster
  uint16_t use = 0;
  EntryState state = EntryState::Clean;
  std::vector<uint8_t> buffer;
};

class ClusterCache {
 public:
  static constexpr uint32_t kMaxEntries = 10;

  ClusterCache(Volume& v, uint32_t entries);

  // The entry holding `cluster` with its use count raised; null when every
  // entry is in use or a write-back or read failed (EIO).
  CacheEntry* Get(uint32_t cluster, bool skip_read, NodeSlot* owner);
  // Lowers the use count; a modified clean entry turns Modified (and
  // reserves the cluster its write-back will take).
  void Release(CacheEntry* entry, bool modified);
  // A clean entry turned Modified lowers the free count once.
  void MarkModified(CacheEntry* entry);
  // Marks a freshly allocated cluster's entry New (zero-filled buffer).
  void MarkNew(CacheEntry* entry);
  // Writes back every New entry in write order, then every Modified one.
  // -1 when any failed, 1 when anything was written, 0 otherwise.
  int Flush();
  // Writes back the entry at the head of the release list if it is dirty.
  bool WriteBackOldest();
  // A cluster moved elsewhere (recycling): re-keys its entry.
  void Rekey(uint32_t from, uint32_t to);
  // Drops the entry of a cluster whose chain was released.
  void Forget(uint32_t cluster);
  uint32_t size() const { return uint32_t(entries_.size()); }
  CacheEntry& entry(uint32_t i) { return entries_[i]; }
  static uint32_t Hash(uint32_t cluster, uint32_t entries) {
    return uint32_t((uint64_t(cluster) * 19823u + 321043u) % entries);
  }

 private:
  int IndexOf(const CacheEntry* e) const { return int(e - entries_.data()); }
  int Find(uint32_t cluster) const;
  void Unhash(int i);
  void Rehash(int i, uint32_t cluster);
  void ToReleaseTail(int i);
  void LeaveReleaseList(int i);
  // Writes back one entry; New entries take earlier New entries of their sector along.
  bool WriteBack(int i);
  bool WriteNew(int i);
  bool WriteModified(int i);
  void LeaveWriteOrder(int i);

  Volume& v_;
  std::vector<CacheEntry> entries_;
  std::vector<std::vector<int>> buckets_;
  std::list<int> release_;                  // head: released longest ago
  std::vector<std::list<int>::iterator> release_pos_;
  std::vector<bool> in_release_;
  std::vector<int> write_order_;            // New entries by ascending cluster
};

}  // namespace nor
