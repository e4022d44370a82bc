// In-memory sector services for file-layer tests (see the header).
#include "tests/support/ram_sector_services.h"

#include <algorithm>
#include <cstring>

#include "ffs/file_system.h"
#include "ffs/module_table.h"
#include "ffs/nor/geometry.h"
#include "ffs/volume_table.h"

namespace testsupport {
namespace {

using nor::NodeSlot;
using nor::SlotKind;
using Entry = RamSectorServices::Entry;

RamSectorServices& Self() { return *RamSectorServices::Current(); }

NodeSlot* TakeSlot(VolumeRecord* v) {
  nor::NodeTable& t = v->nor->nodes;
  for (auto& p : t.pages)
    for (NodeSlot& s : p->slots)
      if (s.kind == SlotKind::Free) {
        s.kind = SlotKind::Reserved;
        --p->free_count;
        --t.free_slots;
        return &s;
      }
  nor::NodePage* page = t.AppendPage();
  page->slots[0].kind = SlotKind::Reserved;
  --page->free_count;
  --t.free_slots;
  return &page->slots[0];
}

void FreeSlot(VolumeRecord* v, NodeSlot* s) { v->nor->nodes.FreeSlot(*s, v->nor->names); }
int CheckSpace(VolumeRecord*, std::uint32_t) { return 0; }
std::uint32_t FreeClusters(VolumeRecord* v) {
  auto* st = Self().StateOf(v);
  return st->free.size() > 1 ? static_cast<std::uint32_t>(st->free.size() - 1) : 0;
}

void FlushAll(VolumeRecord* v) {
  for (auto& [c, e] : Self().StateOf(v)->cache) Self().WriteBack(v, *e);
}

int Sync(VolumeRecord* v, int mode) {
  ++Self().syncs_;
  if (mode == 1) FlushAll(v);
  else v->flags |= FFS_VF_COMMIT_PENDING;
  return 0;
}

int FlushFile(VolumeRecord* v, NodeSlot* inode) {
  ++Self().flushes_;
  (void)inode;
  FlushAll(v);
  return 0;
}

int Unmount(VolumeRecord* v, int commit) {
  if (commit) FlushAll(v);
  auto* st = Self().StateOf(v);
  for (auto& [c, e] : st->cache)
    if (e->use != 0) return ffs_set_errno(FFS_EIO), -1;  // a leak of the file layer
  st->cache.clear();
  st->nor.reset(v->nor);
  v->nor = nullptr;
  return 0;
}

Entry* Find(VolumeRecord* v, std::uint32_t c) {
  auto& cache = Self().StateOf(v)->cache;
  auto it = cache.find(c);
  return it == cache.end() ? nullptr : it->second.get();
}

void* GetCluster(VolumeRecord* v, std::uint32_t c, bool skipRead, NodeSlot*) {
  auto* st = Self().StateOf(v);
  if (c >= v->cluster_count) return ffs_set_errno(FFS_EIO), nullptr;
  if (Entry* e = Find(v, c)) {
    ++e->use;
    return e;
  }
  if (st->cache.size() >= v->cache_size) {  // evict the entry released longest ago
    Entry* victim = nullptr;
    for (auto& [k, e] : st->cache)
      if (e->use == 0 && (victim == nullptr || e->released < victim->released)) victim = e.get();
    if (victim == nullptr) return ffs_set_errno(FFS_EIO), nullptr;
    Self().WriteBack(v, *victim);
    st->cache.erase(victim->cluster);
  }
  auto e = std::make_unique<Entry>();
  e->cluster = c;
  e->data.assign(v->cluster_size, 0);
  if (!skipRead) std::memcpy(e->data.data(), &st->flash[std::size_t{c} * v->cluster_size], v->cluster_size);
  e->use = 1;
  Entry* raw = e.get();
  st->cache[c] = std::move(e);
  return raw;
}

void ReleaseCluster(VolumeRecord*, void* entry) {
  auto* e = static_cast<Entry*>(entry);
  if (e->use > 0) --e->use;
  e->released = ++Self().clock_;
}

void* Cached(VolumeRecord* v, std::uint32_t c) { return Find(v, c); }
std::uint8_t* EntryData(void* e) { return static_cast<Entry*>(e)->data.data(); }
std::uint32_t EntryCluster(void* e) { return static_cast<Entry*>(e)->cluster; }
int EntryState(void* e) { return static_cast<Entry*>(e)->state; }

void MarkEntry(VolumeRecord* v, void* entry, int state) {
  auto* e = static_cast<Entry*>(entry);
  if (e->state == FFS_ENTRY_CLEAN && state == FFS_ENTRY_MODIFIED) --v->nor->free_count;
  e->state = state;
}

int ReadCluster(VolumeRecord* v, std::uint32_t c, std::uint8_t* dst) {
  ++Self().clusterReads_;
  std::memcpy(dst, &Self().StateOf(v)->flash[std::size_t{c} * v->cluster_size], v->cluster_size);
  return 0;
}

int Prepare(VolumeRecord* v, NodeSlot*) {
  if (v->flags & FFS_VF_IO_ERROR) return ffs_set_errno(FFS_EIO), -1;
  return Self().StateOf(v)->free.size() > 1 ? 0 : (ffs_set_errno(FFS_ENOSPC), -1);
}

int WriteBackHead(VolumeRecord*) { return 0; }

void* Allocate(VolumeRecord* v, NodeSlot* owner) {
  auto* st = Self().StateOf(v);
  if (st->free.size() <= 1) return ffs_set_errno(FFS_ENOSPC), nullptr;  // never the last one
  const std::uint32_t c = st->free.front();
  void* entry = GetCluster(v, c, true, owner);
  if (entry == nullptr) return nullptr;
  static_cast<Entry*>(entry)->state = FFS_ENTRY_NEW;
  st->free.pop_front();
  nor::Volume* n = v->nor;
  if (owner->first_cluster == nor::kNoCluster) {
    owner->first_cluster = static_cast<std::uint16_t>(c);
    n->clusters[c].state = nor::kStateChainStart;
  } else {
    n->clusters[owner->last_cluster].link = static_cast<std::uint16_t>(c);
    n->clusters[c].state = owner->last_cluster;
  }
  n->clusters[c].link = nor::kChainEnd;
  owner->last_cluster = static_cast<std::uint16_t>(c);
  --n->free_count;
  ++n->used_clusters;
  return entry;
}

void FreeChain(VolumeRecord* v, std::uint32_t first) {
  auto* st = Self().StateOf(v);
  nor::Volume* n = v->nor;
  for (std::uint32_t c = first, steps = 0; c < v->cluster_count && steps < v->cluster_count; ++steps) {
    const std::uint32_t next = n->clusters[c].link;
    n->clusters[c].state = nor::kStateFree;
    n->clusters[c].link = nor::kChainEnd;
    auto it = st->cache.find(c);
    if (it != st->cache.end()) {
      if (it->second->state == FFS_ENTRY_MODIFIED) ++n->free_count;
      st->cache.erase(it);
    }
    st->free.push_back(c);
    ++n->free_count;
    if (n->used_clusters) --n->used_clusters;
    c = next;
  }
}

int Nothing(VolumeRecord*) { return 0; }
int ReadLimitRecycle(VolumeRecord*) {
  ++Self().readLimitRuns_;
  return 0;
}

const FfsSectorServices kServices = {
    TakeSlot,   FreeSlot,       CheckSpace, FreeClusters, Sync,         FlushFile,  Unmount,
    GetCluster, ReleaseCluster, Cached,     EntryData,    EntryCluster, EntryState, MarkEntry,
    ReadCluster, Prepare,       WriteBackHead, Allocate,  FreeChain,    Nothing,    ReadLimitRecycle,
};

// Mount from the kept state; answers only for volumes of these services.
std::intptr_t MountModule(FileSystem& fs, int command, const char* name, void* result, int, int) {
  if (command != FFS_MOD_MOUNT || name == nullptr) return 0;
  VolumeRecord* v = ffs_find_volume(fs, name);
  if (v == nullptr) return 0;
  auto* st = Self().StateOf(v);
  if (st == nullptr || v->nor != nullptr) return 0;
  v->nor = st->nor.release();
  if (result) *static_cast<void**>(result) = v;
  return reinterpret_cast<std::intptr_t>(v);
}

}  // namespace

RamSectorServices::RamSectorServices() {
  current_ = this;
  previous_ = ffs_set_sector_services(&kServices);
  ffs_start();
  savedModule_ = FsModuleTable[1];
  FsModuleTable[1] = MountModule;  // before the sector manager's own mount
  for (int i = 2; i < FFS_MODULE_TABLE_MAX - 1; ++i)
    if (FsModuleTable[i] == nullptr) {
      FsModuleTable[i] = savedModule_;
      break;
    }
}

RamSectorServices::~RamSectorServices() {
  for (const std::string& name : names_) ffs_remove_volume(name.c_str());
  // The module table as it was: the volume control back in its place.
  for (int i = 2; i < FFS_MODULE_TABLE_MAX; ++i)
    if (FsModuleTable[i] == savedModule_) {
      for (int j = i; j + 1 < FFS_MODULE_TABLE_MAX; ++j) FsModuleTable[j] = FsModuleTable[j + 1];
      break;
    }
  FsModuleTable[1] = savedModule_;
  ffs_set_sector_services(previous_);
  current_ = nullptr;
}

RamSectorServices::State* RamSectorServices::StateOf(VolumeRecord* v) {
  auto it = states_.find(v);
  return it == states_.end() ? nullptr : &it->second;
}

void RamSectorServices::WriteBack(VolumeRecord* v, Entry& e) {
  if (e.state == FFS_ENTRY_CLEAN) return;
  if (e.state == FFS_ENTRY_MODIFIED) ++v->nor->free_count;  // no copy taken in RAM
  std::memcpy(&states_[v].flash[std::size_t{e.cluster} * v->cluster_size], e.data.data(), v->cluster_size);
  e.state = FFS_ENTRY_CLEAN;
}

int RamSectorServices::AddVolume(const std::string& name, std::uint32_t sectorSize,
                                 std::uint32_t sectorCount, std::uint32_t options) {
  VolumeDescriptor d{};
  d.name = name.c_str();
  d.version = FFS_DESCRIPTOR_VERSION;
  d.sector_size = sectorSize;
  d.block_size = 512;
  d.sector_count = sectorCount;
  d.options = options & ~FFS_OPT_MOUNT;
  if (ffs_add_volume(&d) != 0) return -1;
  VolumeRecord* v = ffs_find_volume(name.c_str());
  nor::Geometry g;
  if (!nor::Volume::GeometryOf(v, g)) return -1;
  names_.push_back(name);
  State& st = states_[v];
  st.nor = std::make_unique<nor::Volume>(v, g);
  nor::Volume* n = st.nor.get();
  st.flash.assign(std::size_t{g.cluster_count} * g.cluster_size, 0xFF);
  for (std::uint32_t c = 0; c < g.cluster_count; ++c) {
    if (g.IsHeader(c)) {
      n->clusters[c].state = nor::kStateUnusable;
      continue;
    }
    n->clusters[c].state = nor::kStateFree;
    st.free.push_back(c);
  }
  n->free_count = static_cast<std::uint32_t>(st.free.size());
  nor::NodePage* page = n->nodes.AppendPage();
  NodeSlot& root = page->slots[0];
  NodeSlot& inode = page->slots[1];
  root.kind = SlotKind::Directory;
  root.inode = &inode;
  n->names.StoreString(&root.name, name.c_str(), static_cast<std::uint32_t>(name.size()));
  inode.kind = SlotKind::Inode;
  inode.mode = 7;
  inode.links = 1;
  inode.serial = n->next_serial++;
  page->free_count -= 2;
  n->nodes.free_slots -= 2;
  return ffs_mount(name.c_str());
}

void RamSectorServices::LimitFreeClusters(VolumeRecord* v, std::uint32_t count) {
  State* st = StateOf(v);
  while (st->free.size() > count) st->free.pop_back();
  v->nor->free_count = static_cast<std::uint32_t>(st->free.size());
}

std::uint32_t RamSectorServices::FreeCount(VolumeRecord* v) const {
  auto it = states_.find(v);
  return it == states_.end() ? 0 : static_cast<std::uint32_t>(it->second.free.size());
}

int RamSectorServices::CachedEntries(VolumeRecord* v) const {
  auto it = states_.find(v);
  return it == states_.end() ? 0 : static_cast<int>(it->second.cache.size());
}

}  // namespace testsupport
