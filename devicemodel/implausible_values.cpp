// The implausible-values table with a reverse index (path -> key), so that
// removing a path does not search every list.
#include "devicemodel/implausible_values.h"

#include <algorithm>

void ImplausibleValues::Add(const std::string& key, const std::string& path) {
  auto known = keyOfPath_.find(path);
  if (known != keyOfPath_.end()) {
    if (known->second == key) return;
    Remove(path);  // a path sits under one view reference only
  }
  table_[key].push_back(path);
  keyOfPath_[path] = key;
}

void ImplausibleValues::Remove(const std::string& path) {
  auto known = keyOfPath_.find(path);
  if (known == keyOfPath_.end()) return;
  auto entry = table_.find(known->second);
  if (entry != table_.end()) {
    auto& paths = entry->second;
    paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
    if (paths.empty()) table_.erase(entry);
  }
  keyOfPath_.erase(known);
}

void ImplausibleValues::Clear() {
  table_.clear();
  keyOfPath_.clear();
}
