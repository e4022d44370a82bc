// The dependency rules: comparison, then/else blocks, and the actions that
// set a parameter value ("default" through attRef, or valueRef), another
// model attribute, or the parameter's own default. Records of every changed
// parameter are read again, which checks their plausibility.
#include "devicemodel/data_model_dependency.h"

#include <cstdlib>
#include <cstring>

#include "devicemodel/vocabulary.h"

namespace {

constexpr char kAttributeSeparator = '@';

}  // namespace

bool DependencyConditionHolds(const std::string& check, const std::string& value, const std::string& with) {
  if (check == vocab::kEq) return value == with;
  const double v = std::strtod(value.c_str(), nullptr);
  const double w = std::strtod(with.c_str(), nullptr);
  if (check == vocab::kGt) return v > w;
  if (check == vocab::kGe) return v >= w;
  if (check == vocab::kLt) return v < w;
  if (check == vocab::kLe) return v <= w;
  return false;
}

CDataModelDependency::CDataModelDependency(DeviceModel& model, ParameterDocument& document, ParameterChecks& checks,
                                           bool typeCodeDependents)
    : model_(model), document_(document), checks_(checks), typeCodeDependents_(typeCodeDependents) {}

bool CDataModelDependency::IsDependencyElement(XmlNode node) const {
  return node.Type() == XmlNodeType::Element &&
         (model::HasType(node, vocab::kDependents) ||
          (typeCodeDependents_ && model::HasType(node, vocab::kTypeCodeDependents)));
}

std::string CDataModelDependency::GetSetNumberString(XmlNode node) { return SetNumberOf(node); }

bool CDataModelDependency::ModuleInstalled(XmlNode definition) const {
  XmlNode module = model::ModuleNodeOf(definition);
  return module.IsNull() || model_.Queries()->InUseFlag(module, vocab::kInstalled);
}

void CDataModelDependency::EvaluateRule(XmlNode rule) {
  XmlNode definition = rule.Parent();
  if (!IsDependencyElement(rule) || !ModuleInstalled(definition)) return;
  const std::vector<XmlNode>& instances =
      document_.Instances().Find(document_.ParameterPath(definition.Path()));
  const std::string value =
      instances.empty() ? model::AttributeValue(definition, vocab::kDefault) : ValueText(instances.front());
  EvaluateCheck(rule, value, vocab::kSetNumberSingle, true);
}

void CDataModelDependency::Evaluate(XmlNode definition, const std::string& value, const std::string& setNumber) {
  EvaluateRules(definition, value, setNumber, true);
}

void CDataModelDependency::EvaluateRules(XmlNode definition, const std::string& value,
                                         const std::string& setNumber, bool everyInstance) {
  if (definition.IsNull() || !ModuleInstalled(definition)) return;
  for (size_t i = 0; i < definition.ChildCount(); ++i) {
    XmlNode rule = definition.Child(i);
    if (IsDependencyElement(rule)) EvaluateCheck(rule, value, setNumber, everyInstance);
  }
}

// Tests every instance at the top of a pass; a rule reached through another
// rule's action tests only the set that action wrote (testing every set at
// every link would multiply the work by the set count per link).
void CDataModelDependency::EvaluateCheck(XmlNode rule, const std::string& value, const std::string& setNumber,
                                         bool everyInstance) {
  if (!model::IsPresent(rule, vocab::kCheck) || !model::IsPresent(rule, vocab::kWith)) return;
  if (model::FirstChildElement(rule).IsNull()) return;
  const std::vector<XmlNode>& instances =
      document_.Instances().Find(document_.ParameterPath(rule.Parent().Path()));
  if (everyInstance && !instances.empty()) {
    // Copy: actions may write values, never add instances, but stay safe.
    const std::vector<XmlNode> each = instances;
    for (XmlNode instance : each) RunCheck(rule, ValueText(instance), GetSetNumberString(instance));
  } else {
    RunCheck(rule, value, setNumber);
  }
}

void CDataModelDependency::RunCheck(XmlNode rule, const std::string& value, const std::string& setNumber) {
  // The state under test is restored afterwards: actions recurse.
  std::string savedValue = value_, savedSet = setNumber_;
  XmlNode savedDefinition = definition_;
  value_ = value;
  setNumber_ = setNumber;
  definition_ = rule.Parent();
  const bool holds = DependencyConditionHolds(model::AttributeValue(rule, vocab::kCheck), value,
                                              model::AttributeValue(rule, vocab::kWith));
  XmlNode thenBlock = model::FirstChildElement(rule);
  XmlNode elseBlock = model::NextSiblingElement(thenBlock);
  if (holds && model::HasType(thenBlock, vocab::kThen)) GetCheckBlockInfo(thenBlock);
  if (!holds && model::HasType(elseBlock, vocab::kElse)) GetCheckBlockInfo(elseBlock);
  value_ = std::move(savedValue);
  setNumber_ = std::move(savedSet);
  definition_ = savedDefinition;
}

void CDataModelDependency::GetCheckBlockInfo(XmlNode block) {
  for (size_t i = 0; i < block.ChildCount(); ++i)
    if (block.Child(i).Type() == XmlNodeType::Element) Act(block.Child(i));
}

void CDataModelDependency::Act(XmlNode action) {
  XmlAttribute set = action.Attribute(vocab::kSet);
  if (set.IsNull()) return;
  const std::string value = set.Value();
  XmlAttribute attRef = action.Attribute(vocab::kAttRef);
  if (!attRef.IsNull()) {
    const std::string text = attRef.Value();
    const size_t at = text.find(kAttributeSeparator);
    if (at == std::string::npos) return;  // names no attribute
    std::string reference = text.substr(0, at);
    if (!reference.empty() && reference.back() == '/') reference.pop_back();
    const std::string name = text.substr(at + 1);
    if (name.empty()) return;
    if (name == vocab::kDefault) {
      if (document_.Exists())
        WriteParameterValue(document_.ParameterPath(model_.Queries()->ResolveReference(reference)), value);
      return;
    }
    // The one condition on the value under test: a single word. The
    // triggering parameter's section adds none.
    if (value_.find(' ') == std::string::npos) SetModelAttribute(reference, name, value);
    return;
  }
  XmlAttribute valueRef = action.Attribute(vocab::kValueRef);
  if (!valueRef.IsNull()) {
    if (!document_.Exists()) return;
    const std::string root = ParameterDocument::RootPath();
    const std::string reference = valueRef.Value();
    WriteParameterValue(reference.compare(0, root.size(), root) == 0 ? reference : root + "/" + reference, value);
    return;
  }
  model_.ChangeAttribute(definition_, vocab::kDefault, value.c_str());
}

// Another attribute of a model element (a limit, a flag): changed in the
// model, then the element's records are read and checked again, set by set.
void CDataModelDependency::SetModelAttribute(const std::string& reference, const std::string& name,
                                             const std::string& value) {
  const model::ModelQueries& queries = *model_.Queries();
  XmlNode element = queries.ResolveNode(reference);
  if (element.IsNull()) return;
  if (!document_.Exists() && name == vocab::kMax) {
    const std::string current = model::AttributeValue(element, vocab::kMax);
    if (current.find('.') != std::string::npos)
      model_.ChangeAttribute(element, vocab::k_MaxDefaultFloat, current.c_str());
  }
  model_.ChangeAttribute(element, name.c_str(), value.c_str());
  if (model::IsModuleNode(element)) return;  // no parameter of its own
  const std::vector<XmlNode>& instances = document_.Instances().Find(document_.ParameterPath(element.Path()));
  ParameterRecord record;
  if (instances.empty()) {
    checks_.ReadRecord(element, false, std::string(), record, vocab::kSetNumberSingle);
    return;
  }
  const std::vector<XmlNode> each = instances;
  for (XmlNode instance : each) checks_.ReadRecord(element, false, std::string(), record, SetNumberOf(instance));
}

// Writes a parameter's value in the current set. The record is stored (and
// checked) either way; the target's own rules run only when the value really
// changed and the chain is not too deep.
void CDataModelDependency::WriteParameterValue(const std::string& parameterPath, const std::string& value) {
  XmlNode instance = document_.Instances().InSet(parameterPath, setNumber_);
  if (instance.IsNull()) return;  // never created
  const bool changed = ValueText(instance) != value;
  if (changed && !document_.SetValue(instance, value)) return;
  XmlNode definition = model_.Queries()->Find(document_.ModelPath(parameterPath));
  if (definition.IsNull()) return;
  const std::string setNumber = SetNumberOf(instance);
  ParameterRecord record;
  checks_.ReadRecord(definition, false, std::string(), record, setNumber);
  if (!changed || depth_ >= kMaxDependencyDepth) return;
  ++depth_;
  EvaluateRules(definition, value, setNumber, false);
  --depth_;
}
