// File data: the read and write operations of an open file block and the
// positions they share with seek. After every call the inode record's size,
// tail cluster and tail fill describe exactly the bytes stored.
#pragma once

#include "ffs/dispatch_internal.h"

namespace ffsd {

int FileRead(FileControlBlock* b, void* buffer, std::uint32_t count);
int FileWrite(FileControlBlock* b, const void* buffer, std::uint32_t count);

// Positions: the start of the data, the end of the data, any byte (beyond
// the end: a position that a write first fills up to with zeros).
void PositionAtStart(FileControlBlock* b, const NodeSlot* inode);
void PositionAtEnd(VolumeRecord* v, FileControlBlock* b, const NodeSlot* inode);
void PositionAt(VolumeRecord* v, FileControlBlock* b, const NodeSlot* inode, std::uint32_t byte);
std::uint32_t Tell(VolumeRecord* v, const FileControlBlock* b, const NodeSlot* inode);
// Finds the position again when the data grew past a position at its end.
void Revalidate(VolumeRecord* v, FileControlBlock* b, const NodeSlot* inode);
// Releases the cache entry the block holds, if any.
void ReleaseHeld(VolumeRecord* v, FileControlBlock* b);

// Number of clusters in the chain of an inode (bounded by the cluster count).
std::uint32_t ChainLength(VolumeRecord* v, const NodeSlot* inode);
// The cluster after c in its chain, or FFS_POS_END.
std::uint32_t NextCluster(VolumeRecord* v, std::uint32_t c);

}  // namespace ffsd
