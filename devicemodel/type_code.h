// Reading the type code and the software component signatures: the values
// under the parameter node a mapping key names, taken from the parameter
// document, of installed modules only. Reads the model and the parameter
// document and changes neither (setting a type code is a rule's work).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "devicemodel/device_model.h"
#include "devicemodel/parameter_document.h"

// One value of the parameter document: the path of the node holding it (a
// text node's path ends with "/"), its text and the nearest set number.
struct ValueEntry {
  std::string path;
  std::string value;
  std::string setNumber;
};

std::vector<ValueEntry> CollectValues(const DeviceModel& model, const ParameterDocument& document, const char* key);
// The device name followed by the code of each type-code position's value.
std::string GetTypecode(const DeviceModel& model, const ParameterDocument& document);
// (name, value) of every software component signature, in document order.
std::vector<std::pair<std::string, std::string>> SwComponentSignatures(const DeviceModel& model,
                                                                       const ParameterDocument& document);
