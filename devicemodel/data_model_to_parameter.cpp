// The parameter document's construction: declaration and `root` header, the
// mirrored parameter sets, and the set-number pass. Names are matched
// literally (never as wildcard patterns) and every subtree is walked with an
// explicit stack.
#include "devicemodel/data_model_to_parameter.h"

#include <cstring>
#include <vector>

#include "devicemodel/model_queries.h"
#include "devicemodel/vocabulary.h"

namespace {

XmlNode AppendElement(XmlNode parent, const char* name) {
  XmlNode element = parent.AppendChild(XmlNodeType::Element);
  element.SetName(name);
  return element;
}

// Appends one node like source (name, value, attributes) to parent; a
// setNo of "1" is written as setNumber.
XmlNode AppendShallowCopy(XmlNode parent, XmlNode source, const std::string& setNumber) {
  XmlNode copy = parent.AppendChild(source.Type());
  if (copy.IsNull()) return copy;
  if (source.NameChars()) copy.SetName(source.NameChars());
  if (source.ValueChars()) copy.SetValue(source.ValueChars());
  for (size_t i = 0; i < source.AttributeCount(); ++i) {
    XmlAttribute attribute = source.AttributeAt(i);
    const char* value = attribute.ValueChars() ? attribute.ValueChars() : "";
    if (!attribute.NameChars()) continue;
    const bool renumber =
        std::strcmp(attribute.NameChars(), vocab::kSetNo) == 0 && std::strcmp(value, vocab::kSetNumberFirst) == 0;
    copy.AddAttribute(attribute.NameChars(), renumber ? setNumber.c_str() : value);
  }
  return copy;
}

// A deep copy of source appended to parent, with every setNo "1" in it
// renumbered.
void AppendDeepCopy(XmlNode parent, XmlNode source, const std::string& setNumber) {
  struct Frame {
    XmlNode source;
    XmlNode copy;
    size_t next;
  };
  XmlNode top = AppendShallowCopy(parent, source, setNumber);
  if (top.IsNull()) return;
  std::vector<Frame> stack{{source, top, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next >= frame.source.ChildCount()) {
      stack.pop_back();
      continue;
    }
    XmlNode child = frame.source.Child(frame.next++);
    XmlNode copy = AppendShallowCopy(frame.copy, child, setNumber);
    if (!copy.IsNull() && child.ChildCount() > 0) stack.push_back({child, copy, 0});
  }
}

// A parameter's dependency rules and value labels describe it; they hold no
// value. Mirrored, they would turn a value element into a group (its value
// could not be set, and the type code would read their empty elements as
// positions), so they stay out of the parameter file.
bool IsParameterMetadata(XmlNode node) {
  return model::HasType(node, vocab::kDependents) || model::HasType(node, vocab::kTypeCodeDependents) ||
         model::HasType(node, vocab::kValueLabel);
}

}  // namespace

CDataModelToParameter::CDataModelToParameter(XmlDocument& destination, int multiSetCount,
                                             const ParameterFileHeader& header)
    : destination_(destination), multiSetCount_(multiSetCount) {
  XmlNode top = destination_.Root();
  XmlNode declaration = top.AppendChild(XmlNodeType::ProcessingInstruction);
  declaration.SetName(vocab::kDeclarationName);
  declaration.AddAttribute(vocab::kDeclarationVersion, vocab::kDeclarationVersionValue);
  declaration.AddAttribute(vocab::kDeclarationEncoding, vocab::kDeclarationEncodingValue);
  root_ = AppendElement(top, vocab::kRoot);
  root_.AddAttribute(vocab::kType, vocab::kParameterFile);
  root_.AddAttribute(vocab::kVersionSyntax, header.versionSyntax.c_str());
  root_.AddAttribute(vocab::kDevice, header.device.c_str());
  root_.AddAttribute(vocab::kVersionContent, header.versionContent.c_str());
  root_.AddAttribute(vocab::kGenerator, header.generator.c_str());
  root_.AddAttribute(vocab::kCreated, header.created.c_str());
  root_.AddAttribute(vocab::kCreatedWithDmHandoff, header.handoff.c_str());
}

bool CDataModelToParameter::for_each(XmlNode node, bool& descend) {
  if (node.Type() != XmlNodeType::Element) return true;
  if (model::HasType(node, vocab::kSectionMDM)) AppendElement(root_, node.NameChars());
  if (model::IsParameterSet(node)) {
    XmlNode destination = Destination(node);
    if (!destination.IsNull()) CopyAndAddValueAndSetNumberToDestinationNode(node, destination);
    descend = false;
  }
  return true;
}

XmlNode CDataModelToParameter::SectionElement() const {
  XmlNode first = root_.Child(kSectionElementChild);
  return first.Type() == XmlNodeType::Element ? first : XmlNode();
}

// The element mirroring the parameter set's position: its path without the
// model's root, below the section element, created where missing.
XmlNode CDataModelToParameter::Destination(XmlNode parameterSet) const {
  XmlNode section = SectionElement();
  if (section.IsNull()) return section;
  const std::string sectionName = section.Name();
  // Ancestors of the parameter set, up to (not including) the model's root.
  std::vector<XmlNode> chain;
  for (XmlNode node = parameterSet; !node.IsNull(); node = node.Parent()) {
    if (node.Type() != XmlNodeType::Element) break;
    chain.push_back(node);
  }
  if (!chain.empty()) chain.pop_back();  // the model's root element
  XmlNode destination = section;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const std::string name = it->Name();
    if (name.empty() || name == sectionName) continue;
    XmlNode next = model::NamedChildElement(destination, name);
    destination = next.IsNull() ? AppendElement(destination, name.c_str()) : next;
  }
  return destination;
}

void CDataModelToParameter::CopyAndAddValueAndSetNumberToDestinationNode(XmlNode model, XmlNode destination) {
  struct Frame {
    XmlNode model;
    XmlNode target;
    size_t next;
  };
  std::vector<Frame> stack;
  // The parameter set copied marks the destination itself. A parameter set
  // nested in it gets an element of its own, marked the same way: exactly
  // what the walk would have built for it, so mirrored paths stay those of
  // the model and the walk need not reach it again.
  auto enter = [&](XmlNode node, XmlNode into) {
    const bool parameterSet = model::IsParameterSet(node);
    XmlNode target = parameterSet && node == model ? into : AppendElement(into, node.NameChars());
    if (parameterSet) {
      model::SetAttribute(target, vocab::kSetNo,
                   model::HasType(node, vocab::kSectionMultiSet) ? vocab::kSetNumberFirst : vocab::kSetNumberSingle);
    } else {
      XmlAttribute value = node.Attribute(vocab::kDefault);
      if (value.ValueChars() && *value.ValueChars()) target.AppendChild(XmlNodeType::Text).SetValue(value.ValueChars());
    }
    if (!target.IsNull()) stack.push_back({node, target, 0});
  };
  enter(model, destination);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next >= frame.model.ChildCount()) {
      stack.pop_back();
      continue;
    }
    XmlNode child = frame.model.Child(frame.next++);
    XmlNode target = frame.target;  // frame may move when enter grows the stack
    if (child.Type() == XmlNodeType::Element && !IsParameterMetadata(child)) enter(child, target);
  }
}

namespace {

bool IsFirstSet(XmlNode element) {
  const char* setNo = element.Attribute(vocab::kSetNo).ValueChars();
  return setNo && std::strcmp(setNo, vocab::kSetNumberFirst) == 0;
}

}  // namespace

int CDataModelToParameter::SetCount() const {
  return multiSetCount_ < kMaxMultiSets ? multiSetCount_ : kMaxMultiSets;
}

uint64_t CDataModelToParameter::ElementCountAfterSetNumberPass(XmlNode top) const {
  if (top.Type() != XmlNodeType::Element) return 0;
  const uint64_t copies = SetCount() >= 2 ? static_cast<uint64_t>(SetCount() - 1) : 0;
  // firstSets[d]: elements with setNo "1" at or above the element entered at depth d.
  std::vector<uint64_t> firstSets{IsFirstSet(top) ? 1u : 0u};
  uint64_t total = 1 + copies * firstSets[0];
  XmlVisitDescendants(top, [&](XmlNode node, int depth) {
    firstSets.resize(static_cast<size_t>(depth));
    uint64_t above = firstSets.back();
    if (node.Type() == XmlNodeType::Element) {
      above += IsFirstSet(node) ? 1 : 0;
      const uint64_t added = 1 + copies * above;  // at most 1 + 999 * depth: no overflow
      total = total > UINT64_MAX - added ? UINT64_MAX : total + added;
    }
    firstSets.push_back(above);
    return true;
  });
  return total;
}

void CDataModelToParameter::Replicate(XmlNode element) {
  if (!IsFirstSet(element)) return;
  XmlNode parent = element.Parent();
  const int count = SetCount();
  for (int set = 2; set <= count && !parent.IsNull(); ++set) AppendDeepCopy(parent, element, std::to_string(set));
}

void CDataModelToParameter::SetNumberPass(XmlNode top) {
  struct Frame {
    XmlNode node;
    size_t next;
  };
  if (top.Type() != XmlNodeType::Element) return;
  Replicate(top);
  std::vector<Frame> stack{{top, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    // Re-read the count: replication appends to the node being visited.
    if (frame.next >= frame.node.ChildCount()) {
      stack.pop_back();
      continue;
    }
    XmlNode child = frame.node.Child(frame.next++);
    if (child.Type() != XmlNodeType::Element) continue;
    Replicate(child);
    stack.push_back({child, 0});
  }
}
