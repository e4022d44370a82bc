// A bounded walk of a mounted volume's node tree from the root, directories
// in listing order (a directory's line, then its children, depth first).
// Each entry is visited at most once, so a damaged tree (a loop, an entry
// in two lists) ends the walk of that list and never loops.
#pragma once

#include <functional>
#include <string>

#include "ffs/nor/volume.h"

namespace inspect {

// The path shown for an entry: "/" for the root, then "/name/name"; bytes
// below 0x20, 0x7F and the backslash are shown as \xNN.
std::string ShowName(const char* name);

using VisitEntry = std::function<void(const nor::NodeSlot& entry, const std::string& path)>;
using ReportProblem = std::function<void(const std::string& text)>;

// Visits the root and every entry reachable from it. Links that break the
// tree's shape (parent or previous-sibling links that do not mirror the
// list, an entry reached twice, a slot in a list that is no entry) are
// reported, and the list holding them is not followed further.
void WalkTree(nor::Volume& v, const VisitEntry& visit, const ReportProblem& problem);

// "slot 0.3": the page and index of a slot in the node table.
std::string SlotName(const nor::NodeSlot& slot);

}  // namespace inspect
