// Positions of open files in their cluster chains. Walks follow the cluster
// map's links and never take more steps than the volume has clusters.
#include "ffs/file_data.h"

namespace ffsd {

std::uint32_t NextCluster(VolumeRecord* v, std::uint32_t c) {
  const nor::Volume* n = v->nor;
  if (n == nullptr || c >= n->clusters.size()) return FFS_POS_END;
  const std::uint32_t next = n->clusters[c].link;
  return next < n->clusters.size() ? next : FFS_POS_END;
}

std::uint32_t ChainLength(VolumeRecord* v, const NodeSlot* inode) {
  std::uint32_t count = 0;
  const std::uint32_t limit = v->cluster_count;
  for (std::uint32_t c = inode->first_cluster; c < limit && count < limit; c = NextCluster(v, c)) {
    ++count;
    if (c == inode->last_cluster) break;
  }
  return count;
}

void PositionAtStart(FileControlBlock* b, const NodeSlot* inode) {
  b->position = FcbPosition{0, inode->first_cluster == nor::kNoCluster ? FFS_POS_END
                                                                       : inode->first_cluster,
                            0, 0};
}

void PositionAtEnd(VolumeRecord* v, FileControlBlock* b, const NodeSlot* inode) {
  if (inode->first_cluster == nor::kNoCluster) {
    PositionAtStart(b, inode);
    return;
  }
  const std::uint32_t count = ChainLength(v, inode);
  if (inode->tail_cluster != nor::kNoCluster)
    b->position = FcbPosition{count - 1, inode->tail_cluster, inode->tail_fill, inode->size};
  else
    b->position = FcbPosition{count - 1, FFS_POS_END, 0, inode->size};
}

void PositionAt(VolumeRecord* v, FileControlBlock* b, const NodeSlot* inode, std::uint32_t byte) {
  if (byte >= inode->size) {
    PositionAtEnd(v, b, inode);
    if (byte > inode->size) {
      b->position.cluster = FFS_POS_BEYOND;
      b->position.byte = byte;
    }
    return;
  }
  const std::uint32_t cs = v->cluster_size;
  const std::uint32_t index = byte / cs;
  std::uint32_t c = inode->first_cluster;
  for (std::uint32_t i = 0; i < index && c < v->cluster_count; ++i) c = NextCluster(v, c);
  b->position = FcbPosition{index, c < v->cluster_count ? c : FFS_POS_END, byte % cs, byte};
}

std::uint32_t Tell(VolumeRecord* v, const FileControlBlock* b, const NodeSlot*) {
  const FcbPosition& p = b->position;
  if (p.cluster == FFS_POS_BEYOND || p.cluster == FFS_POS_END) return p.byte;
  return p.index * v->cluster_size + p.offset;
}

void Revalidate(VolumeRecord* v, FileControlBlock* b, const NodeSlot* inode) {
  // A position at the end of the data or beyond it may lie inside the data
  // again after another block wrote to the file.
  const FcbPosition& p = b->position;
  if ((p.cluster == FFS_POS_END || p.cluster == FFS_POS_BEYOND) && p.byte < inode->size) {
    ReleaseHeld(v, b);
    PositionAt(v, b, inode, p.byte);
  }
}

void ReleaseHeld(VolumeRecord* v, FileControlBlock* b) {
  if (b->held != nullptr) {
    Sm(v).release_cluster(v, b->held);
    b->held = nullptr;
  }
}

}  // namespace ffsd
