// Instance index over the parameter document, built with one walk that
// carries the path of each depth, and the value element accessors.
#include "devicemodel/parameter_instances.h"

#include "devicemodel/vocabulary.h"
#include "xml/xml_walker.h"

namespace {

std::string WithoutTrailingSlash(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

}  // namespace

void ParameterInstances::Build(XmlNode top) {
  byPath_.clear();
  std::vector<size_t> lengths{0};
  std::string path;
  XmlVisitDescendants(top, [&](XmlNode node, int depth) {
    lengths.resize(static_cast<size_t>(depth));
    path.resize(lengths.back());
    if (node.Type() == XmlNodeType::Element && node.NameChars()) {
      path += '/';
      path += node.NameChars();
      byPath_[path].push_back(node);
    }
    lengths.push_back(path.size());
    return true;
  });
}

const std::vector<XmlNode>& ParameterInstances::Find(const std::string& path) const {
  static const std::vector<XmlNode> kNone;
  auto found = byPath_.find(WithoutTrailingSlash(path));
  return found == byPath_.end() ? kNone : found->second;
}

XmlNode ParameterInstances::InSet(const std::string& path, const std::string& setNumber) const {
  const std::vector<XmlNode>& instances = Find(path);
  for (XmlNode instance : instances)
    if (SetNumberOf(instance) == setNumber) return instance;
  return instances.size() == 1 ? instances.front() : XmlNode();
}

std::string SetNumberOf(XmlNode node) {
  for (; !node.IsNull(); node = node.Parent()) {
    XmlAttribute setNo = node.Attribute(vocab::kSetNo);
    if (!setNo.IsNull()) return setNo.Value();
  }
  return vocab::kSetNumberSingle;
}

std::string ValueText(XmlNode element) {
  XmlNode text = element.Child(0);
  return text.Type() == XmlNodeType::Text ? text.Value() : std::string();
}

bool SetValueText(XmlNode element, const std::string& value) {
  if (element.Type() != XmlNodeType::Element) return false;
  for (size_t i = 0; i < element.ChildCount(); ++i)
    if (element.Child(i).Type() == XmlNodeType::Element) return false;
  XmlNode text = element.Child(0);
  if (text.Type() != XmlNodeType::Text) {
    if (value.empty()) return true;
    return element.AppendChild(XmlNodeType::Text).SetValue(value.c_str());
  }
  if (value.empty()) {
    element.RemoveChild(0);
    return true;
  }
  return text.SetValue(value.c_str());
}
