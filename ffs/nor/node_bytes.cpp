// The node table's share of the checkpoint, walked or kept. The file layer
// and slot allocation move the kept bytes through Volume::AdjustNodeBytes by
// exactly the records they add or free; loading, format and recovery recount.
#include "ffs/nor/node_bytes.h"

#include <cstring>

#include "ffs/nor/checkpoint_codec.h"
#include "ffs/nor/volume.h"

namespace nor {

uint32_t CountNodeBytes(const Volume& v) {
  uint64_t bytes = 0;
  for (const auto& page : v.nodes.pages) {
    for (const NodeSlot& slot : page->slots) {
      const SlotKind kind = slot.kind == SlotKind::Reserved ? SlotKind::Free : slot.kind;
      const size_t name = slot.IsEntry() && slot.name ? std::strlen(slot.name) : 0;
      bytes += 1 + SlotBytes(v.geo, kind, name);
    }
  }
  return uint32_t(bytes);
}

void RecountNodeBytes(Volume& v) { v.node_bytes = NodeBytes{true, CountNodeBytes(v)}; }

void ForgetNodeBytes(Volume& v) { v.node_bytes.known = false; }

}  // namespace nor
