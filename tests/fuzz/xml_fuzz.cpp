// libFuzzer target for the XML layer: parse (flags from the first two bytes),
// traverse, find by name and by path, write, and read the written text back.
// Without DOCTYPE nodes, what the writer produces must always parse whole.
// Text after a zero byte is not parsed: its lines are wildcard patterns and
// paths, matched against every element name, searched, and used as names and
// values of nodes added to the tree before it is written.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "xml/wildcard.h"
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

// Lines of the text after the first zero byte (none when there is no zero).
std::vector<std::string> Patterns(const std::string& text) {
  std::vector<std::string> lines;
  const size_t zero = text.find('\0');
  if (zero == std::string::npos) return lines;
  std::string line;
  for (size_t i = zero + 1; i <= text.size() && lines.size() < 16; ++i) {
    if (i == text.size() || text[i] == '\n' || text[i] == '\0') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(text[i]);
    }
  }
  return lines;
}

class Matcher : public XmlWalker {
 public:
  explicit Matcher(const std::vector<std::string>& patterns) : patterns_(patterns) {}
  bool for_each(XmlNode node, bool& descend) override {
    descend = true;
    if (node.Type() != XmlNodeType::Element || node.NameChars() == nullptr) return true;
    for (const std::string& p : patterns_) {
      if (!WildcardMatch(p.c_str(), node.NameChars())) continue;
      // A node found by its own name is named like it (a token starting
      // with '.' is a step, not a name).
      if (node.NameChars()[0] == '.') continue;
      const XmlNode found = node.Parent().FindByPath(node.Name().c_str());
      if (!found.IsNull() && found.Name() != node.Name()) __builtin_trap();
    }
    return ++visits_ < 100000;
  }

 private:
  const std::vector<std::string>& patterns_;
  size_t visits_ = 0;
};

// Searches with every pattern, then changes the tree with the patterns as
// names and values; the written tree must parse back whole.
void SearchAndChange(XmlDocument& doc, const std::vector<std::string>& patterns, uint32_t flags) {
  XmlNode root = doc.Root();
  Matcher matcher(patterns);
  root.Traverse(matcher);
  for (const std::string& p : patterns) {
    const XmlNode byName = root.FindElement(p.c_str());
    if (!byName.IsNull() && !WildcardMatch(p.c_str(), byName.NameChars())) __builtin_trap();
    root.FindByPath(p.c_str());
    root.FindByPath(p.c_str(), "/|.");
    XmlNode sibling = root.Child(0);
    for (int i = 0; i < 64 && sibling.MoveToNextSibling(p.c_str()); ++i) sibling.Path();
  }
  if (patterns.size() < 2) return;
  XmlNode target = root.FindElement(patterns[0].c_str());
  if (target.IsNull()) target = root;
  XmlNode added = target.AppendChild(XmlNodeType::Element);
  added.SetName("added");
  added.AddAttribute("value", patterns[1].c_str());
  added.AppendChild(XmlNodeType::Text).SetValue(patterns[1].c_str());
  if (target.ChildCount() > 1) target.RemoveChild(0);
  const std::string written = WriteXmlToString(root);
  XmlDocument again;
  again.ParseCopy(written, flags & ~xmlflags::kDoctypeAndInclude);
  if (!(flags & xmlflags::kDoctypeAndInclude) && !again.ParsedWhole()) __builtin_trap();
}

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

  const std::vector<std::string> patterns = Patterns(text);
  if (!patterns.empty()) SearchAndChange(doc, patterns, flags);
  return 0;
}
