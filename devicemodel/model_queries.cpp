// Predicates and indexed lookups over the model document. The path index is
// built by one iterative walk; a path that is not a plain chain of names
// (wildcards, "." tokens, empty tokens) falls back to the XML path search.
#include "devicemodel/model_queries.h"

#include <cstring>
#include <vector>

#include "devicemodel/vocabulary.h"
#include "xml/xml_walker.h"

namespace model {

std::string AttributeValue(XmlNode node, const char* name) {
  const char* value = node.Attribute(name).ValueChars();
  return value ? std::string(value) : std::string();
}

bool IsPresent(XmlNode node, const char* name) {
  const char* value = node.Attribute(name).ValueChars();
  return value && *value;
}

bool AttributeEquals(XmlNode node, const char* name, const char* value) {
  const char* actual = node.Attribute(name).ValueChars();
  return actual && std::strcmp(actual, value) == 0;
}

bool HasType(XmlNode node, const char* type) { return AttributeEquals(node, vocab::kType, type); }

bool IsModuleNode(XmlNode node) {
  return HasType(node, vocab::kMdm) || HasType(node, vocab::kMdmAppFrame) || HasType(node, vocab::kMdmDevice);
}

bool IsSelectionLike(XmlNode node) {
  return HasType(node, vocab::kSelection) || HasType(node, vocab::kBool) ||
         AttributeEquals(node, vocab::kStyle, vocab::kList);
}

bool IsParameterSet(XmlNode node) { return AttributeEquals(node, vocab::kBased, vocab::kParaSet); }

bool IsViewExtensionWithModuleNode(XmlNode node) {
  return AttributeEquals(node, vocab::kViewExtension, vocab::kWithModuleNode);
}

std::string SectionOf(XmlNode node) {
  static const char* const kSections[] = {vocab::kSectionProjectSettings, vocab::kSectionMultiSet,
                                          vocab::kSectionSingleSet, vocab::kSectionDDI, vocab::kSectionValues};
  for (; !node.IsNull() && node.Type() != XmlNodeType::Document; node = node.Parent()) {
    for (const char* section : kSections)
      if (HasType(node, section)) return section;
    if (IsModuleNode(node)) break;
  }
  return std::string();
}

XmlNode FirstElement(XmlNode top, const std::function<bool(XmlNode)>& predicate) {
  XmlNode found;
  XmlVisitDescendants(top, [&](XmlNode node, int) {
    if (node.Type() != XmlNodeType::Element || !predicate(node)) return true;
    found = node;
    return false;
  });
  return found;
}

XmlNode FirstChildElement(XmlNode node) {
  for (size_t i = 0; i < node.ChildCount(); ++i)
    if (node.Child(i).Type() == XmlNodeType::Element) return node.Child(i);
  return XmlNode();
}

XmlNode NextSiblingElement(XmlNode node) {
  while (node.MoveToNextSibling())
    if (node.Type() == XmlNodeType::Element) return node;
  return XmlNode();
}

XmlNode NamedChildElement(XmlNode parent, const std::string& name) {
  for (size_t i = 0; i < parent.ChildCount(); ++i) {
    XmlNode child = parent.Child(i);
    const char* own = child.NameChars();
    if (child.Type() == XmlNodeType::Element && own && name == own) return child;
  }
  return XmlNode();
}

XmlNode ModuleNodeOf(XmlNode node) {
  for (; !node.IsNull(); node = node.Parent())
    if (IsModuleNode(node)) return node;
  return XmlNode();
}

void SetAttribute(XmlNode node, const char* name, const char* value) {
  XmlAttribute existing = node.Attribute(name);
  if (existing.IsNull())
    node.AddAttribute(name, value);
  else
    existing.SetValue(value);
}

ModelQueries::ModelQueries(XmlNode rootElement, XmlNode textDocument)
    : root_(rootElement), textDocument_(textDocument), rootPath_(rootElement.Path()) {
  if (root_.IsNull()) return;
  // Pre-order walk of the whole document: the first node met for a path is
  // the one the path search answers. ids[d] is the path id of the node
  // entered at depth d; kNone marks a subtree below a nameless node, which
  // no path reaches.
  XmlNode top = root_;
  top.MoveToRoot();
  std::vector<XmlPathIndex::Id> ids{XmlPathIndex::kTop};
  firstByPath_.assign(1, top.Record());
  XmlVisitDescendants(top, [&](XmlNode node, int depth) {
    ids.resize(static_cast<size_t>(depth));
    const XmlPathIndex::Id parent = ids.back();
    if (parent == XmlPathIndex::kNone || !node.NameChars()) {
      ids.push_back(XmlPathIndex::kNone);
      return true;
    }
    const XmlPathIndex::Id id = paths_.Intern(parent, node.NameChars());
    if (id == firstByPath_.size()) firstByPath_.push_back(node.Record());
    XmlAttribute entryRef = node.Attribute(vocab::kEntryRef);
    if (entryRef.ValueChars()) byEntryRef_.emplace(entryRef.ValueChars(), node.Record());
    ids.push_back(id);
    return true;
  });
  firstMapping_ = FirstElement(top, [](XmlNode node) { return HasType(node, vocab::kMapping); });
}

namespace {

// A path the index answers: "/" followed by non-empty names without
// wildcard characters, none of them starting with '.'.
bool IsPlainPath(const std::string& path) {
  if (path.size() < 2 || path[0] != '/') return false;
  if (path.find_first_of("?*[") != std::string::npos) return false;
  if (path.find("//") != std::string::npos || path.find("/.") != std::string::npos) return false;
  return true;
}

}  // namespace

XmlNode ModelQueries::Find(const std::string& path) const {
  if (root_.IsNull()) return XmlNode();
  // A trailing delimiter (the path of a text node) names the element before it.
  size_t end = path.find_last_not_of('/');
  const std::string trimmed = end == std::string::npos ? path : path.substr(0, end + 1);
  if (IsPlainPath(trimmed)) {
    const XmlPathIndex::Id id = paths_.FindPath(trimmed);
    return id == XmlPathIndex::kNone ? XmlNode() : XmlNode(firstByPath_[id]);
  }
  return root_.FindByPath(path.c_str(), "/");
}

XmlNode ModelQueries::FirstWithEntryRef(const std::string& reference) const {
  auto found = byEntryRef_.find(reference);
  return found == byEntryRef_.end() ? XmlNode() : XmlNode(found->second);
}

std::string ModelQueries::ResolveReference(const std::string& reference) const {
  if (reference.compare(0, rootPath_.size(), rootPath_) == 0) return reference;
  return rootPath_ + "/" + reference;
}

bool ModelQueries::InUseFlag(XmlNode node, const char* flag) const {
  if (IsModuleNode(node)) return !AttributeEquals(node, flag, vocab::kFalse);
  bool answer = true;
  for (size_t i = 0; i < node.ChildCount(); ++i) {
    XmlNode entry = node.Child(i);
    if (!HasType(entry, vocab::kEntry)) continue;
    XmlNode module = ResolveNode(AttributeValue(entry, vocab::kEntryRef));
    while (!module.IsNull() && !IsModuleNode(module) && !HasType(module, vocab::kSectionProjectSettings))
      module = module.Parent();
    if (module.IsNull() || !IsModuleNode(module)) continue;  // no module, or project settings
    XmlAttribute value = module.Attribute(flag);
    if (value.IsNull()) continue;
    if (std::strcmp(value.ValueChars() ? value.ValueChars() : "", vocab::kFalse) != 0) return true;
    answer = false;
  }
  return answer;
}

bool ModelQueries::InUse(XmlNode node) const {
  return InUseFlag(node, vocab::kInstalled) && InUseFlag(node, vocab::kProjected);
}

bool ModelQueries::ViewInUse(const std::string& viewPath) const {
  XmlNode view = Find(viewPath);
  if (view.IsNull()) return false;
  if (!IsPresent(view, vocab::kRef)) return true;
  if (!InUse(view)) return false;
  XmlNode parameter = ResolveNode(AttributeValue(view, vocab::kRef));
  if (parameter.IsNull() || AttributeEquals(parameter, vocab::kView, vocab::kHidden)) return false;
  XmlNode module = ModuleNodeOf(parameter.Parent());
  return module.IsNull() || InUse(module);
}

std::string ModelQueries::MappedPath(const char* key) const {
  XmlNode entry = firstMapping_;
  for (bool more = !entry.IsNull(); more; more = entry.MoveToNextSibling()) {
    if (!IsPresent(entry, vocab::kRef) || !IsPresent(entry, vocab::kWith)) continue;
    if (AttributeEquals(entry, vocab::kWith, key)) return ResolveReference(AttributeValue(entry, vocab::kRef));
  }
  return std::string();
}

std::string ModelQueries::TextLookup(XmlNode node, const char* attribute) const {
  const std::string name = node.Name();
  if (textDocument_.IsNull()) return "[" + name + "]";
  XmlNode text = textDocument_.FindByPath(node.Path().c_str(), "/");
  if (text.IsNull()) return "{" + name + "}";
  XmlAttribute value = text.Attribute(attribute);
  if (value.IsNull()) return "(" + name + ")";
  return value.Value();
}

}  // namespace model
