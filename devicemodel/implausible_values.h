// The implausible-values table: view reference -> value references (node
// paths), ordered byte-wise by key. A path is listed at most once; an entry
// whose list becomes empty disappears.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class ImplausibleValues {
 public:
  using Table = std::map<std::string, std::vector<std::string>>;

  void Add(const std::string& key, const std::string& path);
  void Remove(const std::string& path);
  void Clear();
  bool Empty() const { return table_.empty(); }
  const Table& Entries() const { return table_; }

 private:
  Table table_;
  std::unordered_map<std::string, std::string> keyOfPath_;
};
