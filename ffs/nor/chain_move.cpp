// Cluster replacement within chains. Invariant: after a replacement the
// chain reads the same from its inode's first cluster, only one cluster
// number changed, and the used counts moved with the cluster.
#include "ffs/nor/chain_move.h"

#include "ffs/nor/commit.h"
#include "ffs/nor/file_layer.h"
#include "ffs/nor/list_words.h"

namespace nor {

bool TakeFreeHead(Volume& v, uint32_t& cluster) {
  if (v.free_head == kNone32 || v.free_head == v.free_tail ||
      v.free_head >= v.geo.cluster_count) {
    v.error = FFS_ENOSPC;
    return false;
  }
  cluster = v.free_head;
  v.free_head = v.clusters[cluster].link;
  CountFreeHeadTaken(v, cluster);
  return true;
}

void ReplaceCluster(Volume& v, uint32_t source, uint32_t target, NodeSlot* owner) {
  const Geometry& g = v.geo;
  SectorEntry& from = v.sectors[g.SectorOf(source)];
  if (from.used > 0) --from.used;
  ++v.sectors[g.SectorOf(target)].used;
  v.AdjustEstimate(kChainReplaceBytes);

  ClusterEntry& s = v.clusters[source];
  ClusterEntry& t = v.clusters[target];
  const bool counted = s.state == kStateChainStart || s.state < g.cluster_count;
  const uint32_t words_before = counted ? ChainWordsAround(v, source) : 0;
  if (!counted) ForgetListWords(v);
  t = s;
  if (s.state != kStateChainStart && s.state < g.cluster_count) v.clusters[s.state].link = uint16_t(target);
  if (s.link != kChainEnd && s.link < g.cluster_count) v.clusters[s.link].state = uint16_t(target);

  if (owner && owner->kind == SlotKind::Inode) {
    if (owner->first_cluster == source) owner->first_cluster = uint16_t(target);
    if (owner->last_cluster == source) owner->last_cluster = uint16_t(target);
    if (owner->tail_cluster == source) owner->tail_cluster = uint16_t(target);
  }
  if (FileLayer* files = FileLayerOf(v.record)) files->ClusterMoved(*v.record, source, target);
  s.state = kStateDirty;
  s.link = kChainEnd;
  if (counted) CountChainReplace(v, words_before, ChainWordsAround(v, target));
  from.flags |= kSectorStale;
}

NodeSlot* InodeOfChainEnd(Volume& v, uint32_t cluster) {
  const ClusterEntry& e = v.clusters[cluster];
  if (e.state != kStateChainStart && e.link != kChainEnd) return nullptr;
  for (auto& page : v.nodes.pages) {
    for (NodeSlot& s : page->slots) {
      if (s.kind == SlotKind::Inode && (s.first_cluster == cluster || s.last_cluster == cluster)) {
        return &s;
      }
    }
  }
  return nullptr;
}

}  // namespace nor
