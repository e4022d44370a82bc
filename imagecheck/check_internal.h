// What the parts of the volume check share: the list of violations and the
// chains found in the cluster map, which the node check matches to inodes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ffs/nor/volume.h"

namespace inspect {

struct ChainFacts {
  std::uint32_t length = 0;
  std::uint32_t last = 0;
};

struct Findings {
  std::vector<std::string> violations;
  std::map<std::uint32_t, ChainFacts> chains;  // every chain start of the map
  void Add(std::string text) { violations.push_back(std::move(text)); }
};

// Cluster map, free list, chains, sector table, checkpoint and signatures.
void CheckClusters(nor::Volume& v, Findings& f);
// Node tree, node pages, inode records and their chains.
void CheckNodes(nor::Volume& v, Findings& f);

}  // namespace inspect
