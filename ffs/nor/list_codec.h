// Encodings of the free list ((run end, next) pairs, runs stepping over
// header clusters and unusable sectors) and of the cluster chains (first
// cluster, then next-cluster words or 0xFFFE run tokens; 0xFFFC ends).
// Decoders check every cluster against the geometry.
#pragma once

#include <algorithm>
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
// Number of words EncodeFreeList gives.
size_t FreeListWords(const Geometry& g, const ClusterList& list, const UnusableSector& unusable);
// StepFree with any predicate for the unusable sectors.
template <typename Unusable>
uint32_t StepFreeBy(const Geometry& g, uint32_t cluster, const Unusable& unusable) {
  uint32_t next = g.StepOverHeader(cluster);
  while (next < g.cluster_count && unusable(g.SectorOf(next))) {
    next = g.FirstDataCluster(g.SectorOf(next) + 1);
  }
  return next < g.cluster_count ? next : g.cluster_count;
}

// Number of words EncodeFreeList gives for the free list that starts at
// `head` and goes on with link(c) while the cluster is below the cluster
// count, in_list(cluster) holds and the list is shorter than the volume:
// counted on the links themselves, without building the list.
template <typename Link, typename InList>
size_t FreeListWordCount(const Geometry& g, uint32_t head, Link link, InList in_list,
                         const UnusableSector& unusable) {
  const uint32_t n = g.cluster_count;
  if (head >= n || !in_list(head)) return 0;
  // The sectors are asked once each, not once per cluster.
  std::vector<bool> skip(g.sector_count);
  for (uint32_t s = 0; s < g.sector_count; ++s) skip[s] = unusable && unusable(s);
  auto unusable_sector = [&skip](uint32_t s) { return bool(skip[s]); };
  // Most of a free list is runs of consecutive clusters: a cluster that
  // directly follows its predecessor in a usable sector, past the header,
  // continues the run; only the others take the full step.
  size_t count = 0;
  uint32_t low = 1, high = 0;  // the sector of the last cluster looked at
  bool usable = false;
  uint32_t c = head;
  for (uint32_t length = 1;; ++length) {
    // The tight part: links to the next cluster inside the usable sector
    // last looked at, past its header, continue the run.
    if (usable && c >= low) {
      const uint32_t end = std::min(high, n);
      while (c + 1 < end && length < n && link(c) == c + 1 && c + 1 - low >= g.header_clusters &&
             in_list(c + 1)) {
        ++c;
        ++length;
      }
    }
    const uint32_t next = link(c);
    if (next >= n || length >= n || !in_list(next)) return count + 2;  // the last pair
    if (next == c + 1) {
      if (next < low || next >= high) {
        const uint32_t s = g.SectorOf(next);
        low = s * g.clusters_per_sector;
        high = low + g.clusters_per_sector;
        usable = !skip[s];
      }
      if (!(usable && next - low >= g.header_clusters) &&
          next != StepFreeBy(g, c, unusable_sector))
        count += 2;
    } else if (next != StepFreeBy(g, c, unusable_sector)) {
      count += 2;
    }
    c = next;
  }
}
// Reads the pairs of a free list starting at head; false when malformed
// (a run end not below N or below its run's start, a header cluster,
// a list longer than the volume).
bool ReadFreeList(ByteSource& source, const Geometry& g, uint32_t head,
                  const UnusableSector& unusable, ClusterList& out);

// All chains, each as its clusters in order, to the words of the chain
// section including the closing 0xFFFC. Chains are emitted by ascending
// first cluster.
std::vector<uint16_t> EncodeChains(const Geometry& g, const std::vector<ClusterList>& chains);
// Number of words EncodeChains gives for one non-empty chain (its closing
// 0xFFFC included, the section's closing word not); 0 for an empty one.
size_t ChainWordCount(const Geometry& g, const ClusterList& chain);
// Reads the chain section; false when malformed (a start or cluster not
// below N, a run end below its start, more clusters than the volume has).
bool ReadChains(ByteSource& source, const Geometry& g, std::vector<ClusterList>& out);

bool WriteWords(ByteSink& sink, const std::vector<uint16_t>& words);

}  // namespace nor
