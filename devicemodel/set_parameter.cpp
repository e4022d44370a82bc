// Changing parameter values: SetParameter (the one place a value is set on
// a caller's behalf, with change recording, the record's check and the
// parameter's rules), SetTypecode over the type-code positions, and the
// deferred checks that WriteCustomerAllParameter runs on recorded changes.
#include <algorithm>

#include "devicemodel/data_model_dependency.h"
#include "devicemodel/data_model_to_hmi.h"
#include "devicemodel/vocabulary.h"

using model::FirstChildElement;
using model::NextSiblingElement;

std::string CDataModelToHMI::ParameterPath(const std::string& modelPath) const {
  if (!queries_) return modelPath;
  const std::string& root = queries_->RootPath();
  if (modelPath.compare(0, root.size(), root) != 0 || (modelPath.size() > root.size() && modelPath[root.size()] != '/'))
    return modelPath;
  return ParameterRootPath() + modelPath.substr(root.size());
}

std::string CDataModelToHMI::ModelPath(const std::string& parameterPath) const {
  const std::string root = ParameterRootPath();
  if (!queries_ || parameterPath.compare(0, root.size(), root) != 0 ||
      (parameterPath.size() > root.size() && parameterPath[root.size()] != '/'))
    return parameterPath;
  return queries_->RootPath() + parameterPath.substr(root.size());
}

bool CDataModelToHMI::SetParameter(const std::string& value, const std::string& path, const std::string& setNumber,
                                   const std::string& deferralKey, const std::string& mode) {
  // Values driven directly by the relay are not in the parameter file; this
  // engine does not set them.
  if (!queries_ || mode == vocab::kDirectCtrl) return false;
  // 1. and 2. The instance of the requested set.
  XmlNode instance = instances_.InSet(ParameterPath(path), setNumber);
  if (instance.IsNull()) return false;
  XmlNode definition = queries_->Find(ModelPath(path));
  // 3. A real change is set and recorded for the deferred checks.
  const bool changed = ValueText(instance) != value;
  if (changed) {
    if (!SetValueText(instance, value)) return false;
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
  if (!definition.IsNull() && ReadRecord(definition, false, std::string(), record, SetNumberOf(instance))) {
    if (changed) {
      for (ParameterSetValue& set : record.sets) set.pending = true;
      StoreRecord(record);
    }
    CDataModelDependency(*this).Evaluate(definition, value, SetNumberOf(instance));
  }
  return true;
}

bool CDataModelToHMI::SetTypecode(const char* typecode) {
  if (!queries_ || !typecode) return false;
  const std::string code = typecode;
  const std::string& device = header_.device;
  // The device name alone sets nothing: refused.
  if (code.size() <= device.size() || code.compare(0, device.size(), device) != 0) return false;
  const std::string mapped = queries_->MappedPath(vocab::kPathTypeCode);
  if (mapped.empty()) return false;
  XmlNode parameter = FirstChildElement(queries_->Find(mapped));
  for (size_t position = device.size(); position < code.size() && !parameter.IsNull(); ++position) {
    // The first item whose code starts with the character; items without
    // a code never match. Names are taken literally.
    XmlNode list = queries_->ResolveNode(model::AttributeValue(parameter, vocab::kRef));
    XmlNode item;
    for (XmlNode candidate = FirstChildElement(list); !candidate.IsNull() && item.IsNull();
         candidate = NextSiblingElement(candidate)) {
      const std::string itemCode = model::AttributeValue(candidate, vocab::kCode);
      if (!itemCode.empty() && itemCode[0] == code[position]) item = candidate;
    }
    if (item.IsNull()) return false;
    const std::string path = parameter.Path();
    if (!SetParameter(item.Name(), path, vocab::kSetNumberSingle, typeCodeEntryPath_, std::string())) return false;
    ParameterRecord record;
    if (!ReadRecord(parameter, false, std::string(), record, vocab::kSetNumberSingle) || record.implausible)
      return false;
    parameter = NextSiblingElement(parameter);
  }
  RunInitialCheckPass();
  return true;
}

// The changes recorded since the last write are read again as records
// reached from their views (a deferral key) or from their definitions.
void CDataModelToHMI::RunDeferredChecks() {
  if (!queries_ || (deferred_.empty() && pendingChanges_.empty())) return;
  std::vector<ParameterRecord> collected;
  for (const auto& keyed : deferred_) {
    XmlNode view = queries_->Find(keyed.first);
    for (XmlNode entry = FirstChildElement(view); !entry.IsNull(); entry = NextSiblingElement(entry)) {
      ParameterRecord record;
      if (!ReadRecord(entry, true, keyed.first, record)) continue;
      const std::string changed = ModelPath(record.valuePath);
      if (std::find(keyed.second.begin(), keyed.second.end(), changed) != keyed.second.end())
        collected.push_back(std::move(record));
    }
  }
  for (const PendingChange& change : pendingChanges_) {
    ParameterRecord record;
    if (ReadRecord(queries_->Find(ModelPath(change.path)), false, std::string(), record, change.setNumber))
      collected.push_back(std::move(record));
  }
  for (ParameterRecord& record : collected) {
    for (ParameterSetValue& set : record.sets) set.pending = false;
    StoreRecord(record);
  }
  deferred_.clear();
  pendingChanges_.clear();
}
