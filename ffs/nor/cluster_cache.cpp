// Cluster cache: hash chains, release list, write order and copy-on-write
// write-back. Invariant: an entry with use count 0 is on the release list,
// a New entry is on the write-order list, and a hashed entry's cluster is
// in no other entry.
#include "ffs/nor/cluster_cache.h"

#include <algorithm>
#include <cstring>

#include "ffs/nor/chain_move.h"
#include "ffs/nor/volume.h"

namespace nor {

ClusterCache::ClusterCache(Volume& v, uint32_t entries)
    : v_(v),
      entries_(entries == 0 ? 1 : std::min(entries, kMaxEntries)),
      buckets_(entries_.size()),
      release_pos_(entries_.size()),
      in_release_(entries_.size(), false) {
  for (size_t i = 0; i < entries_.size(); ++i) {
    entries_[i].buffer.assign(v.geo.cluster_size, 0);
    ToReleaseTail(int(i));
  }
}

int ClusterCache::Find(uint32_t cluster) const {
  for (int i : buckets_[Hash(cluster, size())]) {
    if (entries_[size_t(i)].cluster == cluster) return i;
  }
  return -1;
}

void ClusterCache::Unhash(int i) {
  CacheEntry& e = entries_[size_t(i)];
  if (e.cluster == kNone32) return;
  std::vector<int>& bucket = buckets_[Hash(e.cluster, size())];
  bucket.erase(std::remove(bucket.begin(), bucket.end(), i), bucket.end());
  e.cluster = kNone32;
}

void ClusterCache::Rehash(int i, uint32_t cluster) {
  Unhash(i);
  entries_[size_t(i)].cluster = cluster;
  buckets_[Hash(cluster, size())].push_back(i);
}

void ClusterCache::ToReleaseTail(int i) {
  if (in_release_[size_t(i)]) release_.erase(release_pos_[size_t(i)]);
  release_pos_[size_t(i)] = release_.insert(release_.end(), i);
  in_release_[size_t(i)] = true;
}

void ClusterCache::LeaveReleaseList(int i) {
  if (!in_release_[size_t(i)]) return;
  release_.erase(release_pos_[size_t(i)]);
  in_release_[size_t(i)] = false;
}

void ClusterCache::LeaveWriteOrder(int i) {
  write_order_.erase(std::remove(write_order_.begin(), write_order_.end(), i), write_order_.end());
}

CacheEntry* ClusterCache::Get(uint32_t cluster, bool skip_read, NodeSlot* owner) {
  int i = Find(cluster);
  if (i >= 0) {
    CacheEntry& e = entries_[size_t(i)];
    if (e.use == 0) LeaveReleaseList(i);
    ++e.use;
    return &e;
  }
  if (release_.empty()) {
    v_.error = FFS_EBUSY;
    return nullptr;
  }
  i = release_.front();
  CacheEntry& e = entries_[size_t(i)];
  if (e.state != EntryState::Clean && !WriteBack(i)) {
    ToReleaseTail(i);
    return nullptr;
  }
  LeaveReleaseList(i);
  Unhash(i);
  if (!skip_read && !v_.ReadDataCluster(cluster, e.buffer.data())) {
    ToReleaseTail(i);
    return nullptr;
  }
  Rehash(i, cluster);
  e.owner = owner;
  e.use = 1;
  e.state = EntryState::Clean;
  return &e;
}

void ClusterCache::MarkModified(CacheEntry* e) {
  if (e->state != EntryState::Clean) return;
  e->state = EntryState::Modified;
  if (v_.free_count > 0) --v_.free_count;  // reserves the cluster of the write-back
}

void ClusterCache::MarkNew(CacheEntry* e) {
  e->state = EntryState::New;
  std::fill(e->buffer.begin(), e->buffer.end(), 0);
  const int i = IndexOf(e);
  LeaveWriteOrder(i);
  auto at = std::upper_bound(write_order_.begin(), write_order_.end(), e->cluster,
                             [this](uint32_t c, int j) { return c < entries_[size_t(j)].cluster; });
  write_order_.insert(at, i);
}

void ClusterCache::Release(CacheEntry* e, bool modified) {
  if (modified) MarkModified(e);
  if (e->use > 0) --e->use;
  if (e->use == 0) ToReleaseTail(IndexOf(e));
}

bool ClusterCache::WriteNew(int i) {
  const uint32_t sector = v_.geo.SectorOf(entries_[size_t(i)].cluster);
  const uint32_t cluster = entries_[size_t(i)].cluster;
  bool ok = true;
  // Earlier new clusters of the same sector go first: strictly upwards.
  const std::vector<int> order = write_order_;
  for (int j : order) {
    CacheEntry& e = entries_[size_t(j)];
    if (v_.geo.SectorOf(e.cluster) != sector || e.cluster > cluster) continue;
    LeaveWriteOrder(j);
    if (v_.WriteDataCluster(e.cluster, e.buffer.data())) {
      e.state = EntryState::Clean;
    } else {
      ok = false;
      if (e.use == 0) ToReleaseTail(j);
    }
  }
  return ok;
}

bool ClusterCache::WriteModified(int i) {
  CacheEntry& e = entries_[size_t(i)];
  uint32_t target;
  if (!TakeFreeHead(v_, target)) return false;
  ReplaceCluster(v_, e.cluster, target, e.owner);
  Rehash(i, target);
  if (!v_.WriteDataCluster(target, e.buffer.data())) return false;
  e.state = EntryState::Clean;
  return true;
}

bool ClusterCache::WriteBack(int i) {
  v_.record->flags &= ~FFS_VF_COMMITTED;
  v_.record->flags |= FFS_VF_CHANGED;
  switch (entries_[size_t(i)].state) {
    case EntryState::New: return WriteNew(i);
    case EntryState::Modified: return WriteModified(i);
    default: return true;
  }
}

int ClusterCache::Flush() {
  bool failed = false;
  bool wrote = false;
  while (!write_order_.empty()) {
    const int i = write_order_.front();  // lowest first: each sector upwards
    wrote = true;
    failed |= !WriteBack(i);
    LeaveWriteOrder(i);
    entries_[size_t(i)].state = EntryState::Clean;
  }
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].state == EntryState::Clean) continue;
    wrote = true;
    failed |= !WriteBack(int(i));
    entries_[i].state = EntryState::Clean;
  }
  if (failed) return -1;
  return wrote ? 1 : 0;
}

bool ClusterCache::WriteBackOldest() {
  if (release_.empty()) return true;
  const int i = release_.front();
  return entries_[size_t(i)].state == EntryState::Clean || WriteBack(i);
}

void ClusterCache::Rekey(uint32_t from, uint32_t to) {
  const int i = Find(from);
  if (i >= 0) Rehash(i, to);
}

void ClusterCache::Forget(uint32_t cluster) {
  const int i = Find(cluster);
  if (i < 0) return;
  LeaveWriteOrder(i);
  Unhash(i);
  entries_[size_t(i)].state = EntryState::Clean;
}

}  // namespace nor
