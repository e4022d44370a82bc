// Instance index over the parameter document, built with one walk that
// carries the path id of each depth, and the value element accessors.
#include "devicemodel/parameter_instances.h"

#include "devicemodel/vocabulary.h"
#include "xml/xml_walker.h"

namespace {

// A value element holds its value as its first (and only) child, a text.
constexpr size_t kValueTextChild = 0;

}  // namespace

void ParameterInstances::Clear() {
  paths_.Clear();
  instances_.clear();
}

void ParameterInstances::Build(XmlNode top) {
  Clear();
  instances_.resize(1);
  std::vector<XmlPathIndex::Id> ids{XmlPathIndex::kTop};
  XmlVisitDescendants(top, [&](XmlNode node, int depth) {
    ids.resize(static_cast<size_t>(depth));
    XmlPathIndex::Id id = ids.back();
    if (node.Type() == XmlNodeType::Element && node.NameChars()) {
      id = paths_.Intern(id, node.NameChars());
      if (id == instances_.size()) instances_.emplace_back();
      instances_[id].push_back(node);
    }
    ids.push_back(id);
    return true;
  });
}

const std::vector<XmlNode>& ParameterInstances::Find(const std::string& path) const {
  static const std::vector<XmlNode> kNone;
  const size_t end = path.find_last_not_of('/');
  if (end == std::string::npos || instances_.empty()) return kNone;
  const XmlPathIndex::Id id = paths_.FindPath(std::string_view(path).substr(0, end + 1));
  return id == XmlPathIndex::kNone ? kNone : instances_[id];
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
  XmlNode text = element.Child(kValueTextChild);
  return text.Type() == XmlNodeType::Text ? text.Value() : std::string();
}

bool SetValueText(XmlNode element, const std::string& value) {
  if (element.Type() != XmlNodeType::Element) return false;
  for (size_t i = 0; i < element.ChildCount(); ++i)
    if (element.Child(i).Type() == XmlNodeType::Element) return false;
  XmlNode text = element.Child(kValueTextChild);
  if (text.Type() != XmlNodeType::Text) {
    if (value.empty()) return true;
    return element.AppendChild(XmlNodeType::Text).SetValue(value.c_str());
  }
  if (value.empty()) {
    element.RemoveChild(kValueTextChild);
    return true;
  }
  return text.SetValue(value.c_str());
}
