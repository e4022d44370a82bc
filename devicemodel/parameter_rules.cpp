// Changing parameter values: SetParameter (the one place a value is set on
// a caller's behalf, with change recording, the record's check and the
// parameter's rules), SetTypecode over the type-code positions, the initial
// check pass, and the deferred checks a write runs on recorded changes.
#include "devicemodel/parameter_rules.h"

#include <algorithm>
#include <set>

#include "devicemodel/data_model_dependency.h"
#include "devicemodel/vocabulary.h"
#include "xml/xml_walker.h"

using model::FirstChildElement;
using model::NextSiblingElement;

bool ParameterRules::SetParameter(const std::string& value, const std::string& path, const std::string& setNumber,
                                   const std::string& deferralKey, const std::string& mode) {
  // Values driven directly by the relay are not in the parameter file; this
  // library does not set them.
  const model::ModelQueries* queries = model_.Queries();
  if (!queries || mode == vocab::kDirectCtrl) return false;
  // 1. and 2. The instance of the requested set.
  XmlNode instance = document_.Instances().InSet(document_.ParameterPath(path), setNumber);
  if (instance.IsNull()) return false;
  XmlNode definition = queries->Find(document_.ModelPath(path));
  // 3. A real change is set and recorded for the deferred checks.
  const bool changed = ValueText(instance) != value;
  if (changed) {
    if (!document_.SetValue(instance, value)) return false;
    if (!deferralKey.empty()) {
      std::vector<std::string>& paths = deferred_[deferralKey];
      if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
    } else {
      auto same = std::find_if(pendingChanges_.begin(), pendingChanges_.end(), [&](const PendingChange& change) {
        return change.path == path && change.setNumber == setNumber;
      });
      if (same != pendingChanges_.end()) pendingChanges_.erase(same);
      pendingChanges_.push_back({path, value, setNumber});
    }
  }
  // 4. The record, its check, the parameter's rules.
  ParameterRecord record;
  if (!definition.IsNull() && checks_.ReadRecord(definition, false, std::string(), record, SetNumberOf(instance))) {
    if (changed) {
      for (ParameterSetValue& set : record.sets) set.pending = true;
      checks_.StoreRecord(record);
    }
    CDataModelDependency(model_, document_, checks_).Evaluate(definition, value, SetNumberOf(instance));
  }
  return true;
}

bool ParameterRules::SetTypecode(const char* typecode) {
  const model::ModelQueries* queries = model_.Queries();
  if (!queries || !typecode) return false;
  const std::string code = typecode;
  const std::string& device = model_.Header().device;
  // The device name alone sets nothing: refused.
  if (code.size() <= device.size() || code.compare(0, device.size(), device) != 0) return false;
  const std::string mapped = queries->MappedPath(vocab::kPathTypeCode);
  if (mapped.empty()) return false;
  XmlNode parameter = FirstChildElement(queries->Find(mapped));
  for (size_t position = device.size(); position < code.size() && !parameter.IsNull(); ++position) {
    // The first item whose code starts with the character; items without
    // a code never match. Names are taken literally.
    XmlNode list = queries->ResolveNode(model::AttributeValue(parameter, vocab::kRef));
    XmlNode item;
    for (XmlNode candidate = FirstChildElement(list); !candidate.IsNull() && item.IsNull();
         candidate = NextSiblingElement(candidate)) {
      const std::string itemCode = model::AttributeValue(candidate, vocab::kCode);
      if (!itemCode.empty() && itemCode[0] == code[position]) item = candidate;
    }
    if (item.IsNull()) return false;
    const std::string path = parameter.Path();
    if (!SetParameter(item.Name(), path, vocab::kSetNumberSingle, model_.TypeCodeEntryPath(), std::string()))
      return false;
    ParameterRecord record;
    if (!checks_.ReadRecord(parameter, false, std::string(), record, vocab::kSetNumberSingle) || record.implausible)
      return false;
    parameter = NextSiblingElement(parameter);
  }
  RunInitialCheckPass();
  return true;
}

// The changes recorded since the last write are read again as records
// reached from their views (a deferral key) or from their definitions.
void ParameterRules::RunDeferredChecks() {
  const model::ModelQueries* queries = model_.Queries();
  if (!queries || (deferred_.empty() && pendingChanges_.empty())) return;
  std::vector<ParameterRecord> collected;
  for (const auto& keyed : deferred_) {
    XmlNode view = queries->Find(keyed.first);
    for (XmlNode entry = FirstChildElement(view); !entry.IsNull(); entry = NextSiblingElement(entry)) {
      ParameterRecord record;
      if (!checks_.ReadRecord(entry, true, keyed.first, record)) continue;
      const std::string changed = document_.ModelPath(record.valuePath);
      if (std::find(keyed.second.begin(), keyed.second.end(), changed) != keyed.second.end())
        collected.push_back(std::move(record));
    }
  }
  for (const PendingChange& change : pendingChanges_) {
    ParameterRecord record;
    if (checks_.ReadRecord(queries->Find(document_.ModelPath(change.path)), false, std::string(), record,
                           change.setNumber))
      collected.push_back(std::move(record));
  }
  for (ParameterRecord& record : collected) {
    for (ParameterSetValue& set : record.sets) set.pending = false;
    checks_.StoreRecord(record);
  }
  ClearPendingChanges();
}

void ParameterRules::ClearPendingChanges() {
  deferred_.clear();
  pendingChanges_.clear();
}

void ParameterRules::RunInitialCheckPass() {
  const model::ModelQueries* queries = model_.Queries();
  if (!queries) return;
  // Every dependency rule once, with its parameter's current value. No
  // walk of the menu views is added: the records checked are those the
  // rules reach and those already listed as implausible.
  CDataModelDependency dependency(model_, document_, checks_);
  XmlVisitDescendants(queries->RootElement(), [&](XmlNode node, int) {
    if (dependency.IsDependencyElement(node)) dependency.EvaluateRule(node);
    return true;
  });
  // Every value reference in the table is read again as a record of its set
  // and checked once more.
  std::set<std::string> listed;
  for (const auto& entry : checks_.Implausible().Entries()) listed.insert(entry.second.begin(), entry.second.end());
  std::vector<ParameterRecord> again;
  for (const auto& stored : checks_.Records())
    if (listed.count(stored.second.path)) again.push_back(stored.second);
  for (ParameterRecord& record : again) {
    ParameterRecord fresh;
    if (!checks_.ReadRecord(record.source, record.fromView, record.fromView ? record.viewPath : std::string(), fresh,
                            record.setNumber))
      checks_.PlausibilityCheck(record);  // a record made by hand: checked as it is
  }
}
