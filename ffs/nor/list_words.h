// The word counts of the free list and of the chain section that the next
// checkpoint would write, kept between exact recounts. Invariant: while
// `known` is set, both counts equal what a full walk of the cluster map
// gives; every change that is not counted here clears `known`.
#pragma once

#include <cstdint>

namespace nor {

class Volume;

struct ListWords {
  bool known = false;
  uint32_t free_words = 0;   // (run end, next) words of the free list
  uint32_t chain_words = 0;  // chain words, the section's closing word left out
};

// Both counts by a full walk of the free list and of every chain.
ListWords CountListWords(const Volume& v);
// Forgets the counts: the next estimate walks the lists again.
void ForgetListWords(Volume& v);
// The free head `taken` has just left the list (free_head names the next).
void CountFreeHeadTaken(Volume& v, uint32_t taken);
// `cluster` is about to join the end of the chain whose last cluster is
// `last` (kNone32: it starts a chain of its own).
void CountChainAppend(Volume& v, uint32_t last, uint32_t cluster);
// Words of the pairs around a chain member (its predecessor's, its own and
// its successor's), taken before and after a cluster takes its place.
uint32_t ChainWordsAround(const Volume& v, uint32_t cluster);
void CountChainReplace(Volume& v, uint32_t before, uint32_t after);

}  // namespace nor
