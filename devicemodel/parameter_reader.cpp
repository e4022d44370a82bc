// Reading parameter records: the definition (reached directly or through a
// menu entry), its attributes, decimals, selection items, value labels, the
// values of its sets from the parameter document (the model default while
// there is none), the in-use rule and the view reference. Every lookup is an
// index probe or a walk of the parameter's own children, so reading a
// record does not grow with the model.
#include "devicemodel/parameter_reader.h"

#include "devicemodel/data_model_ddi.h"
#include "devicemodel/vocabulary.h"

namespace {

using model::AttributeEquals;
using model::AttributeValue;
using model::HasType;

constexpr char kOneSet[] = "1";  // multiSets of a model with a single parameter set

int DecimalsOf(const std::string& number) {
  size_t point = number.find('.');
  return point == std::string::npos ? 0 : static_cast<int>(number.size() - point - 1);
}

// Values never checked: shown or driven values rather than settings.
bool NeverChecked(const ParameterRecord& record) {
  if (record.mode == vocab::kValue || record.mode == vocab::kDirectCtrl) return true;
  if (record.valueType == vocab::kAppStateOut || record.valueType == vocab::kAppStateIn) return true;
  // A "noEdit" value is checked only when it is reached through a view.
  return record.mode == vocab::kNoEdit && !record.fromView;
}

// The values of the record's sets: every instance of a multi-set parameter,
// the one instance of a single-set parameter, the default while the
// parameter document does not hold it.
void FillValues(const ParameterInstances& index, ParameterRecord& record, const std::string& setNumber) {
  const std::vector<XmlNode>& instances = index.Find(record.valuePath);
  if (instances.empty()) {
    record.setNumber = setNumber.empty() ? vocab::kSetNumberSingle : setNumber;
    record.value = record.defaultValue;
    record.sets = {{record.value}};
    return;
  }
  XmlNode own = setNumber.empty() ? instances.front() : index.InSet(record.valuePath, setNumber);
  if (own.IsNull()) own = instances.front();
  record.setNumber = setNumber.empty() ? SetNumberOf(own) : setNumber;
  record.value = ValueText(own);
  record.multiSet = record.section == vocab::kSectionMultiSet && instances.size() > 1;
  if (!record.multiSet) {
    record.sets = {{record.value}};
    return;
  }
  for (XmlNode instance : instances) record.sets.push_back({ValueText(instance)});
}

// Selection items: the children of the list that `ref` names, from the one
// named by `min` (the first item when the parameter has no min) up to and
// including the one named by `max` (the last when none is), hidden items
// left out. A selection-like parameter without such a list is not checked.
// Items carry no conditions here, and one list serves every product line.
// Value labels: the children of a sole "valueLabel" child.
void FillItems(const model::ModelQueries& queries, ParameterRecord& record) {
  XmlNode definition = record.node;
  XmlNode only = model::FirstChildElement(definition);
  if (!only.IsNull() && definition.ChildCount() == 1 && HasType(only, vocab::kValueLabel))
    for (size_t i = 0; i < only.ChildCount(); ++i)
      if (only.Child(i).Type() == XmlNodeType::Element)
        record.valueLabels.push_back(AttributeValue(only.Child(i), vocab::kValueRef));
  if (!model::IsSelectionLike(definition)) return;
  XmlNode list = model::IsPresent(definition, vocab::kRef)
                     ? queries.ResolveNode(AttributeValue(definition, vocab::kRef))
                     : XmlNode();
  if (list.IsNull()) {
    record.checked = false;  // nothing to check against
    return;
  }
  bool started = record.min.empty();
  for (size_t i = 0; i < list.ChildCount(); ++i) {
    XmlNode item = list.Child(i);
    if (item.Type() != XmlNodeType::Element) continue;
    const std::string value = item.Name();
    if (!started && value == record.min) started = true;
    if (started && !AttributeEquals(item, vocab::kView, vocab::kHidden)) record.items.push_back(value);
    if (value == record.max) break;
  }
}

// The view reference of a parameter reached without a view: the parent of
// the first element whose entryRef names the parameter's reference.
std::string DerivedViewReference(const DeviceModel& model, const std::string& valuePath,
                                 const std::string& setNumber) {
  const std::string root = ParameterDocument::RootPath() + "/";
  const ModelHeader& header = model.Header();
  const model::ModelQueries& queries = *model.Queries();
  std::string reference = valuePath.compare(0, root.size(), root) == 0 ? valuePath.substr(root.size()) : valuePath;
  while (!reference.empty() && reference.back() == '/') reference.pop_back();
  if (reference.empty()) return std::string();
  XmlNode entry;
  if (header.productLine == vocab::kPembaLineV2 && setNumber != vocab::kSetNumberSingle &&
      header.multiSets != kOneSet) {
    // This product line repeats its views per set: search from the first
    // element of the set on, in the first sibling that holds the entry.
    XmlNode start = model::FirstElement(queries.RootElement(), [&](XmlNode n) {
      return AttributeEquals(n, vocab::kSetNo, setNumber.c_str());
    });
    auto holdsEntry = [&](XmlNode n) { return AttributeEquals(n, vocab::kEntryRef, reference.c_str()); };
    for (XmlNode area = start; !area.IsNull() && entry.IsNull();) {
      entry = holdsEntry(area) ? area : model::FirstElement(area, holdsEntry);
      if (!area.MoveToNextSibling()) break;
    }
  }
  if (entry.IsNull()) entry = queries.FirstWithEntryRef(reference);
  return entry.IsNull() ? std::string() : entry.Parent().Path();
}
}  // namespace

bool ReadParameterRecord(const DeviceModel& model, const ParameterDocument& document, XmlNode node, bool fromView,
                         const std::string& viewPath, const std::string& setNumber, ParameterRecord& out) {
  const model::ModelQueries* queries = model.Queries();
  if (!queries || node.Type() != XmlNodeType::Element) return false;
  ParameterRecord record;
  record.source = node;
  record.fromView = fromView;
  record.path = node.Path();
  record.nodeType = AttributeValue(node, vocab::kType);
  record.style = AttributeValue(node, vocab::kStyle);
  // 1. A menu entry names its parameter; a DDI entry is one kind of entry.
  XmlNode definition = node;
  if (fromView || record.nodeType == vocab::kDdiEntry) {
    record.entryRef = AttributeValue(node, vocab::kEntryRef);
    if (record.entryRef.empty()) return false;
    definition = queries->ResolveNode(record.entryRef);
    if (definition.IsNull()) return false;
  }
  // 2. The definition's attributes.
  record.node = definition;
  record.definitionPath = definition.Path();
  record.valuePath = document.ParameterPath(record.definitionPath);
  record.valueType = AttributeValue(definition, vocab::kType);
  record.mode = AttributeValue(definition, vocab::kMode);
  record.defaultValue = AttributeValue(definition, vocab::kDefault);
  record.max = AttributeValue(definition, vocab::kMax);
  record.min = AttributeValue(definition, vocab::kMin);
  if (record.valueType == vocab::kFloat) {
    XmlAttribute maxDefault = definition.Attribute(vocab::k_MaxDefaultFloat);
    record.decimals = DecimalsOf(maxDefault.IsNull() ? record.max : maxDefault.Value());
  }
  record.section = model::SectionOf(definition);
  // 3. DDI assignment.
  if (record.nodeType == vocab::kDdiEntry)
    record.ddiAssignment = CDataModelDDI(model, document).GetParameterAssignmentInfo(record.path);
  // 4. and 5. Values, items and labels; whether the value is checked.
  FillValues(document.Instances(), record, setNumber);
  record.checked = !NeverChecked(record);
  FillItems(*queries, record);
  // 6. In use.
  XmlNode module = model::ModuleNodeOf(definition);
  record.installed = AttributeEquals(module, vocab::kInstalled, vocab::kTrue);
  record.projected = AttributeEquals(module, vocab::kProjected, vocab::kTrue);
  if (module.IsNull())
    record.inUse = true;
  else if (record.section == vocab::kSectionProjectSettings)
    record.inUse = record.installed;
  else
    record.inUse = record.installed && record.projected;
  // 7. The view reference, derived when the record was not reached from one.
  record.viewRef = viewPath;
  if (record.viewRef.empty()) record.viewRef = DerivedViewReference(model, record.valuePath, record.setNumber);
  record.viewPath = record.viewRef;
  out = std::move(record);
  return true;
}
