// The sector services as the NOR sector manager provides them today: node
// slots over its node table and unmount. The cluster cache, allocation and
// commits are not offered by it yet; until they are, data requests fail with
// ENOSPC and syncs only mark a commit pending.
#include "ffs/nor/nor.h"
#include "ffs/sector_services.h"

namespace {

using nor::NodeSlot;
using nor::SlotKind;

NodeSlot* TakeSlot(VolumeRecord* v) {
  nor::Volume* n = v->nor;
  if (n == nullptr) return ffs_set_errno(FFS_EIO), nullptr;
  nor::NodePage* page = nullptr;
  for (auto& p : n->nodes.pages)
    if (p->free_count > 0) {
      page = p.get();
      break;
    }
  if (page == nullptr && (page = n->nodes.AppendPage()) == nullptr)
    return ffs_set_errno(FFS_ENOSPC), nullptr;
  for (NodeSlot& s : page->slots) {
    if (s.kind != SlotKind::Free) continue;
    s.kind = SlotKind::Reserved;
    --page->free_count;
    --n->nodes.free_slots;
    return &s;
  }
  return ffs_set_errno(FFS_EIO), nullptr;
}

void FreeSlot(VolumeRecord* v, NodeSlot* slot) {
  if (v->nor != nullptr && slot != nullptr) v->nor->nodes.FreeSlot(*slot, v->nor->names);
}

int NoData(VolumeRecord*) { return ffs_set_errno(FFS_ENOSPC), -1; }
int CheckSpace(VolumeRecord*, std::uint32_t) { return 0; }
std::uint32_t FreeClusters(VolumeRecord*) { return 0; }
int Sync(VolumeRecord* v, int) {
  v->flags |= FFS_VF_COMMIT_PENDING;
  return 0;
}
int FlushFile(VolumeRecord*, NodeSlot*) { return 0; }
void* GetCluster(VolumeRecord*, std::uint32_t, bool, NodeSlot*) {
  ffs_set_errno(FFS_EIO);
  return nullptr;
}
void ReleaseCluster(VolumeRecord*, void*) {}
void* Cached(VolumeRecord*, std::uint32_t) { return nullptr; }
std::uint8_t* EntryData(void*) { return nullptr; }
std::uint32_t EntryCluster(void*) { return 0xFFFFFFFFu; }
int EntryState(void*) { return FFS_ENTRY_CLEAN; }
void MarkEntry(VolumeRecord*, void*, int) {}
int ReadCluster(VolumeRecord* v, std::uint32_t c, std::uint8_t* dst) {
  return v->nor != nullptr && v->nor->ReadDataCluster(c, dst) ? 0 : -1;
}
int Prepare(VolumeRecord* v, NodeSlot*) { return NoData(v); }
std::int32_t Allocate(VolumeRecord* v, NodeSlot*) { return NoData(v); }
void FreeChain(VolumeRecord* v, std::uint32_t first) {
  if (v->nor != nullptr) v->nor->ReleaseChain(first);
}
int Nothing(VolumeRecord*) { return 0; }

const FfsSectorServices kNorServices = {
    TakeSlot,     FreeSlot,  CheckSpace,     FreeClusters, Sync,      FlushFile, nor_unmount,
    GetCluster,   ReleaseCluster, Cached,    EntryData,    EntryCluster, EntryState, MarkEntry,
    ReadCluster,  Prepare,   NoData,         Allocate,     FreeChain, Nothing,   Nothing,
};

const FfsSectorServices* g_services = &kNorServices;

}  // namespace

const FfsSectorServices& ffs_sector_services() { return *g_services; }

const FfsSectorServices* ffs_set_sector_services(const FfsSectorServices* services) {
  const FfsSectorServices* old = g_services;
  g_services = services ? services : &kNorServices;
  return old;
}
