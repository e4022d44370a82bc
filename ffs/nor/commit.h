// Commit (writing a checkpoint), sync, and the space the volume can still
// give to file data.
#pragma once

#include <cstdint>
#include <vector>

#include "ffs/nor/list_codec.h"
#include "ffs/nor/volume.h"

namespace nor {

// Every chain of the volume in ascending order of its first cluster,
// optionally leaving out the one that starts at `skip`.
std::vector<ClusterList> CollectChains(const Volume& v, uint32_t skip = kNone32);
// The stream content of a checkpoint of the volume with the given free list
// and chains; its first field carries its own length. `counted`, when
// given, receives the word counts of the two lists.
std::vector<uint8_t> BuildContent(const Volume& v, uint32_t sequence, uint32_t cursor,
                                  const ClusterList& free_list,
                                  const std::vector<ClusterList>& chains,
                                  ListWords* counted = nullptr);
// What the estimate adds to a checkpoint content of `length` bytes for the
// next checkpoint's own chain and the free-list runs it cuts: per sector it
// may span, a run (mark, end, next) and a cut run (end, next) of 2-byte
// words and a spare word, rounded up to 16 bytes; plus one run token.
inline constexpr uint32_t kRunTokenBytes = 8;
inline constexpr uint32_t kBytesPerSpannedSector = 16;
uint32_t SpanAllowance(const Geometry& g, uint32_t length);
// Checkpoint length estimate (bytes) of the volume as it stands: an upper
// bound of the stream a commit now would write.
uint32_t EstimateCheckpointLength(const Volume& v);
// The same figure; the recount also keeps the free-list and chain word
// counts, which allocation and cluster moves then keep current, so that the
// estimate taken between commits need not walk the lists again.
uint32_t RecountCheckpointEstimate(Volume& v);
uint32_t CheckpointEstimate(Volume& v);
// Worst-case growth of the chain section: appending a cluster to a chain
// (a run begins: mark and end word), and putting a new cluster in place of
// one inside a run (the run is split around a single word).
inline constexpr uint32_t kChainAppendBytes = 4;
inline constexpr uint32_t kChainReplaceBytes = 8;
// Clusters still available for file data; 0 with ENOSPC when none.
uint32_t FreeClustersForData(Volume& v, uint32_t extra_bytes);
// Writes a checkpoint; mode 1 also offers the old checkpoint's sectors for
// recycling. False with the error number set (ENOSPC, EIO).
bool Commit(Volume& v, int mode);
// Mode 0 marks a commit as pending; mode 1 flushes the cache and commits.
int Sync(Volume& v, int mode);

}  // namespace nor
