// Predicates and indexed lookups over the model document. The path index is
// built by one iterative walk; a path that is not a plain chain of names
// (wildcards, "." tokens, empty tokens) falls back to the XML path search.
#include "devicemodel/model_queries.h"

#include <cstring>
#include <vector>

#include "devicemodel/vocabulary.h"

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
  struct Frame {
    XmlNode node;
    size_t next;
  };
  std::vector<Frame> stack{{top, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next >= frame.node.ChildCount()) {
      stack.pop_back();
      continue;
    }
    XmlNode child = frame.node.Child(frame.next++);
    if (child.Type() != XmlNodeType::Element) continue;
    if (predicate(child)) return child;
    stack.push_back({child, 0});
  }
  return XmlNode();
}

XmlNode ModuleNodeOf(XmlNode node) {
  for (; !node.IsNull(); node = node.Parent())
    if (IsModuleNode(node)) return node;
  return XmlNode();
}

ModelQueries::ModelQueries(XmlNode rootElement, XmlNode textDocument)
    : root_(rootElement), textDocument_(textDocument), rootPath_(rootElement.Path()) {
  if (root_.IsNull()) return;
  // Pre-order walk of the whole document: the first node met for a path is
  // the one the path search answers.
  XmlNode top = root_;
  top.MoveToRoot();
  struct Frame {
    XmlNodeRecord* node;
    size_t pathLength;
    unsigned next;
  };
  std::string path;
  std::vector<Frame> stack{{top.Record(), 0, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next >= frame.node->childCount) {
      stack.pop_back();
      continue;
    }
    XmlNodeRecord* child = frame.node->children[frame.next++];
    if (!child->name) continue;
    path.resize(frame.pathLength);
    path += '/';
    path += child->name;
    byPath_.emplace(path, child);
    if (child->childCount > 0) stack.push_back({child, path.size(), 0});
  }
}

namespace {

// A path the index answers: "/" followed by non-empty names without
// wildcard characters, none of them starting with '.'.
bool IsPlainPath(const std::string& path) {
  if (path.size() < 2 || path[0] != '/' || path.back() == '/') return false;
  if (path.find_first_of("?*[") != std::string::npos) return false;
  if (path.find("//") != std::string::npos || path.find("/.") != std::string::npos) return false;
  return true;
}

}  // namespace

XmlNode ModelQueries::Find(const std::string& path) const {
  if (root_.IsNull()) return XmlNode();
  if (IsPlainPath(path)) {
    auto found = byPath_.find(path);
    return found == byPath_.end() ? XmlNode() : XmlNode(found->second);
  }
  return root_.FindByPath(path.c_str(), "/");
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
  XmlNode entry = FirstElement(root_.Parent().IsNull() ? root_ : root_.Parent(),
                               [](XmlNode node) { return HasType(node, vocab::kMapping); });
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
