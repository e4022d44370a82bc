// The implausible-values table with a reverse index (instance -> key) and a
// count of the instances behind each (key, path), so that a path leaves a list
// only when no set lists it there any more.
#include "devicemodel/implausible_values.h"

#include <algorithm>

void ImplausibleValues::Add(const std::string& key, const std::string& path, const std::string& setNumber) {
  const Pair instance{path, setNumber};
  auto known = keyOfInstance_.find(instance);
  if (known != keyOfInstance_.end()) {
    if (known->second == key) return;
    Remove(path, setNumber);  // an instance sits under one view reference only
  }
  if (++instancesOfEntry_[{key, path}] == 1) table_[key].push_back(path);
  keyOfInstance_[instance] = key;
}

void ImplausibleValues::Remove(const std::string& path, const std::string& setNumber) {
  auto known = keyOfInstance_.find({path, setNumber});
  if (known == keyOfInstance_.end()) return;
  const std::string key = known->second;
  keyOfInstance_.erase(known);
  auto count = instancesOfEntry_.find({key, path});
  if (count == instancesOfEntry_.end() || --count->second > 0) return;
  instancesOfEntry_.erase(count);
  auto entry = table_.find(key);
  if (entry == table_.end()) return;
  auto& paths = entry->second;
  paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
  if (paths.empty()) table_.erase(entry);
}

void ImplausibleValues::Clear() {
  table_.clear();
  keyOfInstance_.clear();
  instancesOfEntry_.clear();
}
