// ParameterChecks: the plausibility check of parameter records, the
// implausible-values table it keeps, and the store of the latest record of
// each parameter instance. Reads the model and the parameter document and
// changes neither; the rules above it change values and ask it to check.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "devicemodel/device_model.h"
#include "devicemodel/implausible_values.h"
#include "devicemodel/parameter_document.h"
#include "devicemodel/parameter_record.h"

class ParameterChecks {
 public:
  ParameterChecks(const DeviceModel& model, const ParameterDocument& document) : model_(model), document_(document) {}

  // True when the record's value is implausible; keeps the implausible-values
  // table and stores the record back.
  bool PlausibilityCheck(ParameterRecord& record);
  // Reads the record (see ReadParameterRecord), keeps the pending marks of
  // the stored one, checks the value unless the parameter is never checked,
  // and stores the record. False when the parameter cannot be found.
  bool ReadRecord(XmlNode node, bool fromView, const std::string& viewPath, ParameterRecord& out,
                  const std::string& setNumber = std::string());
  void StoreRecord(const ParameterRecord& record);

  // Keyed by definition path (the node path of a record made by hand) and
  // set number.
  using RecordStore = std::map<std::pair<std::string, std::string>, ParameterRecord>;
  const RecordStore& Records() const { return records_; }
  void ClearRecords() { records_.clear(); }
  const ImplausibleValues& Implausible() const { return implausible_; }

 private:
  const DeviceModel& model_;
  const ParameterDocument& document_;
  ImplausibleValues implausible_;
  RecordStore records_;
};
