// The plausibility evaluation of parameter values against their limits,
// selection items and value labels, and the upkeep of the implausible-values
// table. Numbers are decimal text; a text that is no number counts as 0.
#include <cstdlib>
#include <sstream>
#include <set>
#include <vector>

#include "devicemodel/data_model_dependency.h"
#include "devicemodel/data_model_to_hmi.h"
#include "devicemodel/vocabulary.h"
#include "xml/xml_walker.h"

namespace {

double ToDouble(const std::string& text) { return std::strtod(text.c_str(), nullptr); }
long long ToInteger(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 10); }

bool IsSelectionLike(const ParameterRecord& record) {
  return record.valueType == vocab::kSelection || record.valueType == vocab::kBool || record.style == vocab::kList;
}

// Selection-like: plausible when the value is an item at or before the
// first item whose value is max.
bool ImplausibleValue(const ParameterRecord& record, const std::string& value) {
  if (IsSelectionLike(record)) {
    for (const std::string& item : record.items) {
      if (item == value) return false;
      if (item == record.max) return true;
    }
    return true;
  }
  if (record.valueType == vocab::kFloat) {
    double number = ToDouble(value);
    return number > ToDouble(record.max) || number < ToDouble(record.min);
  }
  if (record.valueType == vocab::kInteger) {
    long long number = ToInteger(value);
    return number > ToInteger(record.max) || number < ToInteger(record.min);
  }
  return false;
}

std::vector<std::string> SplitAtBlanks(const std::string& text) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; in >> part;) parts.push_back(part);
  return parts;
}

// Value and label are equal part by part, as numbers for float parameters.
bool EqualsLabel(const ParameterRecord& record, const std::string& value, const std::string& label) {
  std::vector<std::string> a = SplitAtBlanks(value);
  std::vector<std::string> b = SplitAtBlanks(label);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    bool equal = record.valueType == vocab::kFloat ? ToDouble(a[i]) == ToDouble(b[i]) : a[i] == b[i];
    if (!equal) return false;
  }
  return true;
}

}  // namespace

bool CDataModelToHMI::PlausibilityCheck(ParameterRecord& record) {
  bool implausible = false;
  const model::ModelQueries* queries = queries_.get();
  // A view extension with a module node: its selection values are plausible
  // whenever the module it leads to is present.
  XmlNode extensionModule;
  bool extension = model::IsViewExtensionWithModuleNode(record.node) && queries;
  if (extension)
    extensionModule = model::ModuleNodeOf(queries->ResolveNode(model::AttributeValue(record.node, vocab::kRef)));
  for (ParameterSetValue& set : record.sets) {
    set.implausible = !(extension && IsSelectionLike(record) && !extensionModule.IsNull()) &&
                      ImplausibleValue(record, set.value);
    implausible = implausible || set.implausible;
  }
  if (implausible && !record.multiSet && !record.sets.empty()) {
    for (const std::string& label : record.valueLabels) {
      if (EqualsLabel(record, record.sets.front().value, label)) {
        implausible = false;
        record.sets.front().implausible = false;
        break;
      }
    }
  }
  bool viewInUse;
  if (extension)
    viewInUse = !extensionModule.IsNull() && queries->InUse(extensionModule);
  else
    viewInUse = record.viewPath.empty() || ViewInUse(record.viewPath);
  if (implausible && !record.viewRef.empty() && viewInUse)
    implausible_.Add(record.viewRef, record.path, record.setNumber);
  else
    implausible_.Remove(record.path, record.setNumber);
  record.implausible = implausible;
  StoreRecord(record);
  return implausible;
}

void CDataModelToHMI::ClearWorkingSets() {
  records_.clear();
  secondSet_.clear();
}

void CDataModelToHMI::RunInitialCheckPass() {
  if (!queries_) return;
  // Every dependency rule once, with its parameter's current value. No
  // walk of the menu views is added: the records checked are those the
  // rules reach and those already listed as implausible.
  CDataModelDependency dependency(*this);
  XmlVisitDescendants(queries_->RootElement(), [&](XmlNode node, int) {
    if (dependency.IsDependencyElement(node)) dependency.EvaluateRule(node);
    return true;
  });
  // Every value reference in the table is read again as a record of its set
  // and checked once more.
  std::set<std::string> listed;
  for (const auto& entry : implausible_.Entries()) listed.insert(entry.second.begin(), entry.second.end());
  std::vector<ParameterRecord> again;
  for (const auto& stored : records_)
    if (listed.count(stored.second.path)) again.push_back(stored.second);
  for (ParameterRecord& record : again) {
    ParameterRecord fresh;
    if (!ReadRecord(record.source, record.fromView, record.fromView ? record.viewPath : std::string(), fresh,
                    record.setNumber))
      PlausibilityCheck(record);  // a record made by hand: checked as it is
  }
}
