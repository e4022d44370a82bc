// libFuzzer target for the XML layer: parse (flags from the first two bytes),
// traverse, find by name and by path, write, and read the written text back.
// Without DOCTYPE nodes, what the writer produces must always parse whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "xml/xml_document.h"
#include "xml/xml_walker.h"
#include "xml/xml_writer.h"

namespace {

class Visitor : public XmlWalker {
 public:
  bool for_each(XmlNode node, bool& descend) override {
    visited += node.Name().size() + node.Value().size() + node.AttributeCount();
    descend = (visited & 7) != 3;
    return true;
  }
  size_t visited = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t flags = (static_cast<uint32_t>(data[0]) << 8 | data[1]) & 0x3FFE;
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

  XmlDocument doc;
  doc.ParseCopy(text, flags);
  XmlNode root = doc.Root();

  Visitor visitor;
  root.Traverse(visitor);

  // Patterns and paths are taken from the input itself.
  std::string pattern = text.substr(0, std::min<size_t>(text.size(), 12));
  pattern.erase(std::find(pattern.begin(), pattern.end(), '\0'), pattern.end());
  XmlNode found = root.FindElement(pattern.c_str());
  found.Path();
  root.FindByPath(pattern.c_str(), "/.");
  XmlNode first = root.Child(root.ChildCount() ? root.ChildCount() - 1 : 0);
  if (!first.IsNull()) root.FindByPath(first.Path().c_str());

  const std::string written = WriteXmlToString(root);
  XmlDocument again;
  again.ParseCopy(written, flags & ~xmlflags::kDoctypeAndInclude);
  if (!(flags & xmlflags::kDoctypeAndInclude) && !again.ParsedWhole()) __builtin_trap();
  WriteXmlToString(again.Root(), 0, false);
  return 0;
}
