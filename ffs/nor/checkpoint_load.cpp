// Mount steps 4 and 5: the newest checkpoint read into the RAM tables. Every
// reference and cluster number from the flash is checked against the
// geometry before it is used; a slot link of the wrong kind reads as none.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>

#include "ffs/nor/list_codec.h"
#include "ffs/nor/mount.h"

namespace nor {

namespace {

// A device failure met on the way stays the reported error.
bool Malformed(Volume& v) {
  if (v.error != FFS_EIO) v.error = FFS_EINVAL;
  return false;
}

struct StoredLinks {
  uint32_t next, prev, inode, parent, child;
};

NodeSlot* EntryOrNone(NodeSlot* s) { return s && s->IsEntry() ? s : nullptr; }
NodeSlot* KindOrNone(NodeSlot* s, SlotKind kind) { return s && s->kind == kind ? s : nullptr; }

void ApplyCounters(Volume& v, const CheckpointPrelude& p) {
  const CheckpointHeader& h = p.header;
  v.stream_length = h.length;
  v.sequence = h.sequence;
  v.next_serial = h.next_serial;
  v.free_head = h.free_head;
  v.free_tail = h.free_tail;
  v.free_count = h.free_count;
  v.max_erase = h.max_erase;
  v.cursor = p.cursor;
  v.version = p.version;
  for (uint32_t s = 0; s < v.geo.sector_count; ++s) {
    v.sectors[s].erase_count = p.erase_counts[s];
    v.sectors[s].read_count += p.read_counts[s];
  }
}

bool LoadNodes(Volume& v, ByteSource& in, uint32_t slot_count,
               std::vector<StoredLinks>& links) {
  if (slot_count == 0 || slot_count % kSlotsPerPage != 0) return Malformed(v);
  for (uint32_t page = 0; page < slot_count / kSlotsPerPage; ++page) {
    NodePage* p = v.nodes.AppendPage();
    if (!p) return v.error = FFS_ENOSPC, false;
    for (NodeSlot& slot : p->slots) {
      SlotRecord r;
      if (ReadSlot(in, v.geo, v.version, r) != DecodeStatus::Ok) return Malformed(v);
      FillFromRecord(slot, r);
      links.push_back(StoredLinks{r.next, r.prev, r.inode, r.parent, r.child});
      if (slot.kind == SlotKind::Free) continue;
      --p->free_count;
      --v.nodes.free_slots;
      if (slot.IsEntry() &&
          !v.names.StoreString(&slot.name, r.name.data(), uint32_t(r.name.size()))) {
        return v.error = FFS_ENOSPC, false;
      }
    }
  }
  return true;
}

void LinkNodes(Volume& v, const std::vector<StoredLinks>& links) {
  size_t i = 0;
  for (auto& page : v.nodes.pages) {
    for (NodeSlot& s : page->slots) {
      const StoredLinks& l = links[i++];
      if (!s.IsEntry()) continue;
      s.unlinked = s.kind == SlotKind::File && l.next == kRefUnlinked && l.prev == kRefUnlinked;
      s.next = EntryOrNone(v.nodes.Resolve(l.next));
      s.prev = EntryOrNone(v.nodes.Resolve(l.prev));
      s.inode = KindOrNone(v.nodes.Resolve(l.inode), SlotKind::Inode);
      s.parent = KindOrNone(v.nodes.Resolve(l.parent), SlotKind::Directory);
      if (s.kind == SlotKind::Directory) s.child = EntryOrNone(v.nodes.Resolve(l.child));
    }
  }
}

// The structure the file layer walks must be finite: every entry has its
// inode record, no child list runs in a circle, and every parent chain ends.
bool TreeIsSound(const Volume& v) {
  const uint32_t slots = v.nodes.slot_count();
  std::vector<uint32_t> stamp(slots, 0);
  auto index = [](const NodeSlot* s) { return s->page->number * kSlotsPerPage + s->Index(); };
  uint32_t generation = 0;
  for (const auto& page : v.nodes.pages) {
    for (const NodeSlot& s : page->slots) {
      if (s.IsEntry() && !s.inode) return false;
      if (s.kind != SlotKind::Directory) continue;
      ++generation;
      for (const NodeSlot* c = s.child; c; c = c->next) {
        if (stamp[index(c)] == generation) return false;  // a circle
        stamp[index(c)] = generation;
      }
    }
  }
  // Parent chains: 1 on the walk in progress, 2 known to end at a root.
  std::vector<uint8_t> state(slots, 0);
  std::vector<uint32_t> path;
  for (const auto& page : v.nodes.pages) {
    for (const NodeSlot& s : page->slots) {
      if (!s.IsEntry()) continue;
      path.clear();
      const NodeSlot* d = &s;
      while (d && state[index(d)] != 2) {
        if (state[index(d)] == 1) return false;
        state[index(d)] = 1;
        path.push_back(index(d));
        d = d->parent;
      }
      for (uint32_t i : path) state[i] = 2;
    }
  }
  return true;
}

// True when an entry reachable from `entry` through either sibling link
// carries `name`. Walks are bounded by the slot count.
bool SiblingHasName(const Volume& v, const NodeSlot& entry, const std::string& name) {
  const uint32_t limit = v.nodes.slot_count();
  for (int dir = 0; dir < 2; ++dir) {
    const NodeSlot* s = dir == 0 ? entry.next : entry.prev;
    for (uint32_t n = 0; s && n < limit; ++n, s = dir == 0 ? s->next : s->prev) {
      if (s != &entry && s->name && name == s->name) return true;
    }
  }
  return false;
}

// A name cut to 63 characters and "*" becomes its first 59, "_" and the
// first four-digit number no sibling carries.
bool RenameCutNames(Volume& v) {
  for (auto& page : v.nodes.pages) {
    for (NodeSlot& s : page->slots) {
      if (!s.IsEntry() || !s.name) continue;
      const size_t len = std::strlen(s.name);
      if (len != kNameMax || s.name[len - 1] != kCutMark) continue;
      std::string base(s.name, kRenameKeep);
      base.push_back(kRenameMark);
      std::string candidate;
      for (unsigned n = 0; n <= 9999; ++n) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04u", n);
        candidate = base + digits;
        if (!SiblingHasName(v, s, candidate)) break;
      }
      v.names.Release(&s.name);
      if (!v.names.StoreString(&s.name, candidate.data(), uint32_t(candidate.size()))) {
        return v.error = FFS_ENOSPC, false;
      }
    }
  }
  return true;
}

// Older checkpoints store no parent for file entries: take it from the
// directory whose child list holds the entry.
void SetFileParents(Volume& v) {
  const uint32_t limit = v.nodes.slot_count();
  for (auto& page : v.nodes.pages) {
    for (NodeSlot& dir : page->slots) {
      if (dir.kind != SlotKind::Directory) continue;
      NodeSlot* c = dir.child;
      for (uint32_t n = 0; c && n < limit; ++n, c = c->next) {
        if (c->kind == SlotKind::File) c->parent = &dir;
      }
    }
  }
}

bool ApplyFreeList(Volume& v, const ClusterList& list) {
  for (size_t i = 0; i < list.size(); ++i) {
    ClusterEntry& e = v.clusters[list[i]];
    if (e.state != kStateDirty) return Malformed(v);  // header, unusable or listed twice
    e.state = kStateFree;
    e.link = i + 1 < list.size() ? list[i + 1] : kChainEnd;
  }
  return true;
}

bool ApplyChains(Volume& v, const std::vector<ClusterList>& chains) {
  for (const ClusterList& chain : chains) {
    uint32_t prev = kStateChainStart;
    for (uint16_t c : chain) {
      ClusterEntry& e = v.clusters[c];
      if (e.state != kStateDirty) return Malformed(v);  // overlaps another list
      e.state = uint16_t(prev);
      e.link = kChainEnd;
      if (prev != kStateChainStart) v.clusters[prev].link = c;
      prev = c;
    }
  }
  return true;
}

void InitialStates(Volume& v) {
  const Geometry& g = v.geo;
  for (uint32_t c = 0; c < g.cluster_count; ++c) {
    const bool unusable = g.IsHeader(c) || !v.SectorUsable(g.SectorOf(c));
    v.clusters[c] = ClusterEntry{kChainEnd, unusable ? kStateUnusable : kStateDirty};
  }
}

}  // namespace

bool LoadCheckpoint(Volume& v, uint32_t first) {
  StreamReader in(v.geo, v, first);
  CheckpointPrelude prelude;
  switch (ReadPrelude(in, v.geo, prelude)) {
    case DecodeStatus::BadFormatMark:
      v.error = FFS_ENXIO;
      return false;
    case DecodeStatus::Malformed:
      return Malformed(v);
    case DecodeStatus::Ok:
      break;
  }
  ApplyCounters(v, prelude);
  const uint32_t head = prelude.header.free_head;
  if (head != kNone32 && head >= v.geo.cluster_count) return Malformed(v);
  // A cursor that names no data cluster reserves nothing: the next commit
  // chooses a new area.
  if (v.cursor != kNone32 && (v.cursor >= v.geo.cluster_count || v.geo.IsHeader(v.cursor))) {
    v.cursor = kNone32;
  }

  // Every slot takes at least its kind byte, and the stream lies within the
  // flash: a slot count beyond either is corrupt (and would only make the
  // load allocate pages in proportion to the image).
  const uint64_t flash_bytes = uint64_t(v.geo.cluster_count) * v.geo.cluster_size;
  if (prelude.header.slot_count > prelude.header.length || prelude.header.length > flash_bytes) {
    return Malformed(v);
  }
  std::vector<StoredLinks> links;
  if (!LoadNodes(v, in, prelude.header.slot_count, links)) return false;
  if (v.nodes.Root()->kind != SlotKind::Directory) return Malformed(v);
  LinkNodes(v, links);
  if (v.version < kVersionExtraWords) SetFileParents(v);
  if (!TreeIsSound(v)) return Malformed(v);
  if (!RenameCutNames(v)) return false;

  InitialStates(v);
  auto unusable = [&v](uint32_t s) { return !v.SectorUsable(s); };
  ClusterList free_list;
  if (!ReadFreeList(in, v.geo, head, unusable, free_list)) return Malformed(v);
  if (!ApplyFreeList(v, free_list)) return false;
  std::vector<ClusterList> chains;
  if (!ReadChains(in, v.geo, chains)) return Malformed(v);
  return ApplyChains(v, chains);
}

}  // namespace nor
