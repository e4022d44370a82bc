// The implausible-values table: view reference -> value references (node
// paths), ordered byte-wise by key; one list per view reference, a path at most
// once in a list. Each parameter instance (path, set number) is listed under
// one view reference; instances of different sets may stand under different
// views, so one path may appear in several lists. An emptied list disappears.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

class ImplausibleValues {
 public:
  using Table = std::map<std::string, std::vector<std::string>>;

  // Lists the instance (path, set number) under `key`, moving it from the
  // view reference it was listed under before.
  void Add(const std::string& key, const std::string& path, const std::string& setNumber = "0");
  // Takes the instance out of the list that holds it.
  void Remove(const std::string& path, const std::string& setNumber = "0");
  void Clear();
  bool Empty() const { return table_.empty(); }
  const Table& Entries() const { return table_; }

 private:
  using Pair = std::pair<std::string, std::string>;
  Table table_;
  std::map<Pair, std::string> keyOfInstance_;  // (path, set number) -> key
  std::map<Pair, int> instancesOfEntry_;       // (key, path) -> instances listing it
};
