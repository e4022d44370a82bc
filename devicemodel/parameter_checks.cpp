// The plausibility evaluation of parameter values against their limits,
// selection items and value labels, the upkeep of the implausible-values
// table, and the record store. Numbers are decimal text; a text that is no
// number counts as 0.
#include "devicemodel/parameter_checks.h"

#include <cstdlib>
#include <sstream>
#include <vector>

#include "devicemodel/parameter_reader.h"
#include "devicemodel/vocabulary.h"

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

bool ParameterChecks::PlausibilityCheck(ParameterRecord& record) {
  bool implausible = false;
  const model::ModelQueries* queries = model_.Queries();
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
    viewInUse = record.viewPath.empty() || model_.ViewInUse(record.viewPath);
  if (implausible && !record.viewRef.empty() && viewInUse)
    implausible_.Add(record.viewRef, record.path, record.setNumber);
  else
    implausible_.Remove(record.path, record.setNumber);
  record.implausible = implausible;
  StoreRecord(record);
  return implausible;
}

void ParameterChecks::StoreRecord(const ParameterRecord& record) {
  const std::string& key = record.definitionPath.empty() ? record.path : record.definitionPath;
  records_[{key, record.setNumber}] = record;
}

bool ParameterChecks::ReadRecord(XmlNode node, bool fromView, const std::string& viewPath, ParameterRecord& out,
                                 const std::string& setNumber) {
  ParameterRecord record;
  if (!ReadParameterRecord(model_, document_, node, fromView, viewPath, setNumber, record)) return false;
  // Pending marks survive a re-read until the deferred checks clear them.
  auto stored = records_.find({record.definitionPath, record.setNumber});
  if (stored != records_.end() && stored->second.sets.size() == record.sets.size())
    for (size_t i = 0; i < record.sets.size(); ++i) record.sets[i].pending = stored->second.sets[i].pending;
  if (record.checked) {
    record.implausible = PlausibilityCheck(record);
  } else {
    record.implausible = false;
    StoreRecord(record);
  }
  out = std::move(record);
  return true;
}
