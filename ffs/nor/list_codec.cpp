// Free list and chain encodings. Every decoded run walks strictly upwards
// and every list is bounded by the volume's cluster count, so corrupt input
// can neither run away nor loop.
#include "ffs/nor/list_codec.h"

#include <algorithm>

#include "ffs/nor/on_flash.h"

namespace nor {

namespace {

// Calls emit for every word of the free list's encoding.
template <typename Emit>
void EmitFreeListWords(const Geometry& g, const ClusterList& list, const UnusableSector& unusable,
                       Emit emit) {
  // The sectors are asked once each, not once per cluster.
  std::vector<bool> skip(g.sector_count);
  for (uint32_t s = 0; s < g.sector_count; ++s) skip[s] = unusable && unusable(s);
  auto unusable_sector = [&skip](uint32_t s) { return s < skip.size() && bool(skip[s]); };
  for (size_t i = 0; i < list.size(); ++i) {
    const bool last = i + 1 == list.size();
    if (!last) {
      // The next cluster of a usable sector, past its header, goes on the run.
      const uint32_t c = list[i], next = list[i + 1];
      if (next == c + 1 && next < g.cluster_count && !g.IsHeader(next) &&
          !unusable_sector(g.SectorOf(next)))
        continue;
      if (next == StepFreeBy(g, c, unusable_sector)) continue;
    }
    emit(list[i]);
    emit(last ? kChainEnd : list[i + 1]);
  }
}

// Calls emit for every word of one non-empty chain, its closing 0xFFFC included.
template <typename Emit>
void EmitChainWords(const Geometry& g, const ClusterList& chain, Emit emit) {
  emit(chain[0]);
  const size_t last = chain.size() - 1;
  size_t i = 0;
  for (;;) {
    if (i == last) {
      emit(kChainEnd);
      return;
    }
    if (chain[i + 1] != g.StepOverHeader(chain[i])) {
      emit(chain[++i]);
      continue;
    }
    size_t j = i + 1;  // the run goes on while clusters stay consecutive
    while (j < last && chain[j + 1] == g.StepOverHeader(chain[j])) ++j;
    emit(kRunMark);
    emit(chain[j]);
    if (j == last) {
      emit(kChainEnd);
      return;
    }
    emit(chain[j + 1]);
    i = j + 1;
  }
}

}  // namespace

uint32_t StepFree(const Geometry& g, uint32_t cluster, const UnusableSector& unusable) {
  return StepFreeBy(g, cluster, [&unusable](uint32_t s) { return unusable && unusable(s); });
}

std::vector<uint16_t> EncodeFreeList(const Geometry& g, const ClusterList& list,
                                     const UnusableSector& unusable) {
  std::vector<uint16_t> words;
  EmitFreeListWords(g, list, unusable, [&words](uint16_t w) { words.push_back(w); });
  return words;
}

size_t FreeListWords(const Geometry& g, const ClusterList& list, const UnusableSector& unusable) {
  size_t count = 0;
  EmitFreeListWords(g, list, unusable, [&count](uint16_t) { ++count; });
  return count;
}

size_t ChainWordCount(const Geometry& g, const ClusterList& chain) {
  size_t count = 0;
  if (!chain.empty()) EmitChainWords(g, chain, [&count](uint16_t) { ++count; });
  return count;
}

namespace {

// Walks a run from `from` to `to`; appends the clusters after `from`.
template <typename Step>
bool WalkRun(const Geometry& g, uint32_t from, uint32_t to, Step step, ClusterList& out) {
  if (to >= g.cluster_count || to < from) return false;
  uint32_t c = from;
  while (c != to) {
    c = step(c);
    if (c > to) return false;  // the run end is no cluster of the run
    out.push_back(uint16_t(c));
  }
  return true;
}

bool UsableStart(const Geometry& g, uint32_t c) { return c < g.cluster_count && !g.IsHeader(c); }

}  // namespace

bool ReadFreeList(ByteSource& source, const Geometry& g, uint32_t head,
                  const UnusableSector& unusable, ClusterList& out) {
  out.clear();
  if (head == kNone32) return true;
  uint32_t current = head;
  for (;;) {
    if (!UsableStart(g, current) || out.size() >= g.cluster_count) return false;
    out.push_back(uint16_t(current));
    uint16_t run_end, next;
    if (!GetU16(source, run_end) || !GetU16(source, next)) return false;
    auto step = [&](uint32_t c) { return StepFree(g, c, unusable); };
    if (!WalkRun(g, current, run_end, step, out)) return false;
    if (out.size() > g.cluster_count) return false;
    if (next == kChainEnd) return true;
    current = next;
  }
}

std::vector<uint16_t> EncodeChains(const Geometry& g, const std::vector<ClusterList>& chains) {
  // Ordered through pointers: the chains themselves are not copied.
  std::vector<const ClusterList*> order;
  order.reserve(chains.size());
  for (const ClusterList& c : chains) {
    if (!c.empty()) order.push_back(&c);
  }
  auto by_first = [](const ClusterList* a, const ClusterList* b) { return a->front() < b->front(); };
  if (!std::is_sorted(order.begin(), order.end(), by_first)) {
    std::stable_sort(order.begin(), order.end(), by_first);
  }
  std::vector<uint16_t> words;
  for (const ClusterList* chain : order) {
    EmitChainWords(g, *chain, [&words](uint16_t w) { words.push_back(w); });
  }
  words.push_back(kChainEnd);
  return words;
}

bool ReadChains(ByteSource& source, const Geometry& g, std::vector<ClusterList>& out) {
  out.clear();
  size_t total = 0;
  auto step = [&](uint32_t c) { return g.StepOverHeader(c); };
  for (;;) {
    uint16_t first;
    if (!GetU16(source, first)) return false;
    if (first == kChainEnd) return true;
    if (first >= g.cluster_count) return false;
    ClusterList chain{first};
    for (;;) {
      if (total + chain.size() > g.cluster_count) return false;
      uint16_t word;
      if (!GetU16(source, word)) return false;
      if (word == kChainEnd) break;
      if (word == kRunMark) {
        uint16_t run_end, next;
        if (!GetU16(source, run_end) || !GetU16(source, next)) return false;
        if (!WalkRun(g, chain.back(), run_end, step, chain)) return false;
        if (next == kChainEnd) break;
        word = next;
      }
      if (word >= g.cluster_count) return false;
      chain.push_back(word);
    }
    total += chain.size();
    if (total > g.cluster_count) return false;
    out.push_back(std::move(chain));
  }
}

bool WriteWords(ByteSink& sink, const std::vector<uint16_t>& words) {
  for (uint16_t w : words) {
    if (!PutU16(sink, w)) return false;
  }
  return true;
}

}  // namespace nor
