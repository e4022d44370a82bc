// Allocation of clusters and node slots. Invariants: a chain grows only at
// its end with the free head; slot references stay valid across page
// compaction because every pointer to a moved slot is rewritten.
#include "ffs/nor/allocate.h"

#include <algorithm>
#include <cstring>

#include "ffs/nor/commit.h"
#include "ffs/nor/file_layer.h"
#include "ffs/nor/list_words.h"
#include "ffs/nor/recycle.h"

namespace nor {

namespace {

constexpr uint32_t kCompactFreeSlots = 32;

void RecomputeEstimate(Volume& v) {
  v.estimated_length = CheckpointEstimate(v);
  v.break_counter = 0;
}

}  // namespace

int PrepareAllocation(Volume& v, uint32_t size_hint, const NodeSlot* owner) {
  if (v.record->flags & FFS_VF_IO_ERROR) {
    v.error = FFS_EIO;
    return -1;
  }
  if (v.TooManyUnusable()) return -1;
  const Geometry& g = v.geo;
  const bool run_breaks = v.free_head == kNone32 || v.free_head + 1 >= g.cluster_count ||
                          v.clusters[v.free_head].link != v.free_head + 1;
  if (run_breaks || owner != v.last_owner) ++v.break_counter;
  v.last_owner = owner;
  const uint32_t step = g.cluster_count / 5;
  if (v.break_counter * 3 + v.estimated_length % g.cluster_size >= g.cluster_size ||
      (step != 0 && v.used_clusters % step == 0)) {
    RecomputeEstimate(v);
  }
  if (FreeClustersForData(v, size_hint) == 0) return -1;  // ENOSPC
  if (RecyclingNeeded(v)) {
    if (v.cache->Flush() < 0 || RecycleIfNeeded(v) != 0) return -1;
  }
  return 0;
}

CacheEntry* AllocateCluster(Volume& v, NodeSlot* inode) {
  const Geometry& g = v.geo;
  if (v.free_head == kNone32 || v.free_head == v.free_tail || v.free_head >= g.cluster_count) {
    v.error = FFS_ENOSPC;
    return nullptr;
  }
  // Off the free list before the cache is asked: an eviction that writes a
  // modified entry back takes the free head for itself.
  const uint32_t c = v.free_head;
  v.free_head = v.clusters[c].link;
  CountFreeHeadTaken(v, c);
  CacheEntry* e = v.cache->Get(c, /*skip_read=*/true, inode);
  if (!e) {
    v.clusters[c].link = uint16_t(v.free_head);  // back at the head of the list
    v.free_head = c;
    ForgetListWords(v);
    return nullptr;
  }
  if (v.free_count > 0) --v.free_count;
  if (inode->first_cluster == kNoCluster || inode->last_cluster >= g.cluster_count) {
    CountChainAppend(v, kNone32, c);
    inode->first_cluster = uint16_t(c);
    v.clusters[c] = ClusterEntry{kChainEnd, kStateChainStart};
  } else {
    CountChainAppend(v, inode->last_cluster, c);
    v.clusters[inode->last_cluster].link = uint16_t(c);
    v.clusters[c] = ClusterEntry{kChainEnd, inode->last_cluster};
  }
  inode->last_cluster = uint16_t(c);
  ++v.used_clusters;
  ++v.sectors[g.SectorOf(c)].used;
  v.AdjustEstimate(kChainAppendBytes);
  v.cache->MarkNew(e);
  v.record->flags &= ~FFS_VF_COMMITTED;
  v.record->flags |= FFS_VF_CHANGED;
  return e;
}

NodeSlot* TakeSlot(Volume& v) {
  NodePage* page = nullptr;
  auto& pages = v.nodes.pages;
  for (size_t i = std::min(v.nodes.first_free_page, pages.size()); i < pages.size(); ++i) {
    if (pages[i]->free_count > 0) {
      page = pages[i].get();
      v.nodes.first_free_page = i;
      break;
    }
  }
  if (!page) {
    if (!(page = v.nodes.AppendPage())) {
      v.error = FFS_ENOSPC;
      return nullptr;
    }
    v.nodes.first_free_page = page->number;
    v.AdjustNodeBytes(kSlotsPerPage);  // one kind byte per slot of the new page
  }
  for (NodeSlot& s : page->slots) {
    if (s.kind != SlotKind::Free) continue;
    s.kind = SlotKind::Reserved;
    --page->free_count;
    --v.nodes.free_slots;
    return &s;
  }
  return nullptr;
}

namespace {

// Every pointer that names `from` names `to` afterwards (the file layer's
// open files and listings too).
void Redirect(Volume& v, NodeSlot* from, NodeSlot* to) {
  for (auto& page : v.nodes.pages) {
    for (NodeSlot& s : page->slots) {
      if (s.next == from) s.next = to;
      if (s.prev == from) s.prev = to;
      if (s.inode == from) s.inode = to;
      if (s.parent == from) s.parent = to;
      if (s.child == from) s.child = to;
    }
  }
  for (uint32_t i = 0; i < v.cache->size(); ++i) {
    if (v.cache->entry(i).owner == from) v.cache->entry(i).owner = to;
  }
  if (v.last_owner == from) v.last_owner = to;
  if (FileLayer* files = FileLayerOf(v.record)) files->SlotMoved(*v.record, from, to);
}

void MoveSlot(Volume& v, NodeSlot& from, NodeSlot& to) {
  NodePage* page = to.page;
  to = from;
  to.page = page;
  to.name = nullptr;
  v.names.HandOver(&from.name, &to.name);
  --page->free_count;
  Redirect(v, &from, &to);
  NodePage* old = from.page;
  from = NodeSlot();
  from.page = old;
  ++old->free_count;
}

}  // namespace

bool CompactNodePages(Volume& v) {
  if (v.nodes.free_slots <= kCompactFreeSlots || v.nodes.pages.size() < 2) return false;
  v.nodes.first_free_page = 0;  // slots move and pages are renumbered
  size_t victim = 1;
  for (size_t i = 2; i < v.nodes.pages.size(); ++i) {
    if (v.nodes.pages[i]->free_count > v.nodes.pages[victim]->free_count) victim = i;
  }
  NodePage* page = v.nodes.pages[victim].get();
  for (NodeSlot& s : page->slots) {
    if (s.kind == SlotKind::Free) continue;
    NodeSlot* target = nullptr;
    for (size_t i = 0; i < v.nodes.pages.size() && !target; ++i) {
      if (i == victim || v.nodes.pages[i]->free_count == 0) continue;
      for (NodeSlot& t : v.nodes.pages[i]->slots) {
        if (t.kind == SlotKind::Free) {
          target = &t;
          break;
        }
      }
    }
    if (!target) return false;  // cannot happen with more than 20 slots free elsewhere
    MoveSlot(v, s, *target);
  }
  v.nodes.free_slots -= kSlotsPerPage;
  v.nodes.pages.erase(v.nodes.pages.begin() + long(victim));
  v.AdjustNodeBytes(-int64_t(kSlotsPerPage));
  for (size_t i = 0; i < v.nodes.pages.size(); ++i) v.nodes.pages[i]->number = uint32_t(i);
  return true;
}

void ReleaseSlot(Volume& v, NodeSlot& slot, bool listing_open) {
  v.FreeNodeSlot(slot);
  if (!listing_open) CompactNodePages(v);
}

}  // namespace nor
