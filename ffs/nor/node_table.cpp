// Node table pages and the conversion between RAM slots and stored slots.
// Invariant: page numbers equal the pages' positions in table order.
#include "ffs/nor/node_table.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "ffs/nor/name_pool.h"

namespace nor {

uint32_t NodeSlot::Index() const { return uint32_t(this - page->slots.data()); }

uint32_t NodeSlot::Ref() const { return MakeRef(page->number, Index()); }

NodePage* NodeTable::AppendPage() {
  std::unique_ptr<NodePage> page(new (std::nothrow) NodePage());
  if (!page) return nullptr;
  page->number = uint32_t(pages.size());
  page->free_count = kSlotsPerPage;
  for (NodeSlot& slot : page->slots) slot.page = page.get();
  free_slots += kSlotsPerPage;
  pages.push_back(std::move(page));
  return pages.back().get();
}

NodeSlot* NodeTable::Resolve(uint32_t ref) const {
  uint32_t page = ref & 0xFFFF;
  uint32_t slot = ref >> 16;
  if (ref == kRefNone || page == 0 || page > pages.size() || slot >= kSlotsPerPage) return nullptr;
  return &pages[page - 1]->slots[slot];
}

void NodeTable::FreeSlot(NodeSlot& slot, NamePool& names) {
  if (slot.kind == SlotKind::Free) return;
  names.Release(&slot.name);
  NodePage* page = slot.page;
  slot = NodeSlot();
  slot.page = page;
  ++page->free_count;
  ++free_slots;
  first_free_page = std::min<size_t>(first_free_page, page->number);
}

void NodeTable::Clear(NamePool& names) {
  for (auto& page : pages) {
    for (NodeSlot& slot : page->slots) names.Release(&slot.name);
  }
  first_free_page = 0;
  pages.clear();
  free_slots = 0;
}

namespace {
uint32_t RefOrNone(const NodeSlot* slot) { return slot ? slot->Ref() : kRefNone; }
}  // namespace

SlotRecord ToRecord(const NodeSlot& s) {
  SlotRecord r;
  r.kind = s.kind == SlotKind::Reserved ? SlotKind::Free : s.kind;
  if (s.IsEntry()) {
    r.next = s.unlinked ? kRefUnlinked : RefOrNone(s.next);
    r.prev = s.unlinked ? kRefUnlinked : RefOrNone(s.prev);
    r.inode = RefOrNone(s.inode);
    r.parent = RefOrNone(s.parent);
    r.child = RefOrNone(s.child);
    if (s.name) r.name.assign(s.name, std::strlen(s.name));
  } else if (s.kind == SlotKind::Inode) {
    static_cast<InodeFields&>(r) = s;
  }
  return r;
}

void FillFromRecord(NodeSlot& s, const SlotRecord& r) {
  s.kind = r.kind;
  static_cast<InodeFields&>(s) = r;
}

}  // namespace nor
