// Encodings of the free list ((run end, next) pairs, runs stepping over
// header clusters and unusable sectors) and of the cluster chains (first
// cluster, then next-cluster words or 0xFFFE run tokens; 0xFFFC ends).
// Decoders check every cluster against the geometry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "ffs/nor/byte_stream.h"
#include "ffs/nor/geometry.h"

namespace nor {

using ClusterList = std::vector<uint16_t>;
// True for a sector that free-list runs step over.
using UnusableSector = std::function<bool(uint32_t sector)>;

// The next cluster of a free-list run: upwards, over header clusters and
// unusable sectors; cluster_count when none is left.
uint32_t StepFree(const Geometry& g, uint32_t cluster, const UnusableSector& unusable);

// Free list in allocation order to (run end, next) words; empty list, no words.
std::vector<uint16_t> EncodeFreeList(const Geometry& g, const ClusterList& list,
                                     const UnusableSector& unusable);
// Number of words EncodeFreeList gives for the list.
size_t FreeListWordCount(const Geometry& g, const ClusterList& list,
                         const UnusableSector& unusable);
// Reads the pairs of a free list starting at head; false when malformed
// (a run end not below N or below its run's start, a header cluster,
// a list longer than the volume).
bool ReadFreeList(ByteSource& source, const Geometry& g, uint32_t head,
                  const UnusableSector& unusable, ClusterList& out);

// All chains, each as its clusters in order, to the words of the chain
// section including the closing 0xFFFC. Chains are emitted by ascending
// first cluster.
std::vector<uint16_t> EncodeChains(const Geometry& g, std::vector<ClusterList> chains);
// Number of words EncodeChains gives for one non-empty chain (its closing
// 0xFFFC included, the section's closing word not); 0 for an empty one.
size_t ChainWordCount(const Geometry& g, const ClusterList& chain);
// Reads the chain section; false when malformed (a start or cluster not
// below N, a run end below its start, more clusters than the volume has).
bool ReadChains(ByteSource& source, const Geometry& g, std::vector<ClusterList>& out);

bool WriteWords(ByteSink& sink, const std::vector<uint16_t>& words);

}  // namespace nor
