// CDataModelDDI: the parameter assignment of a DDI entry. The entry's value
// (the parameter document's, else its default) is looked up among the
// items of the selection list its `ref` names.
#pragma once

#include <string>
#include <utility>

#include "devicemodel/device_model.h"
#include "devicemodel/parameter_document.h"

class CDataModelDDI {
 public:
  CDataModelDDI(const DeviceModel& model, const ParameterDocument& document) : model_(model), document_(document) {}

  // first: an item of the entry's selection list is named by the value;
  // second: that item carries a text (`textRef`). Both false for an entry
  // without a list or a path that names no entry.
  std::pair<bool, bool> GetParameterAssignmentInfo(const std::string& path) const;

 private:
  const DeviceModel& model_;
  const ParameterDocument& document_;
};
