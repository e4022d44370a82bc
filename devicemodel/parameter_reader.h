// Reading a parameter record from the loaded model and the parameter
// document (the model's default while the document does not hold the
// parameter). Reading changes nothing: checking the value and keeping the
// record is the work of ParameterChecks.
#pragma once

#include <string>

#include "devicemodel/device_model.h"
#include "devicemodel/parameter_document.h"
#include "devicemodel/parameter_record.h"

// node is a menu entry (fromView, naming its parameter by entryRef), a DDI
// entry, or the definition itself. An empty set number takes the first
// instance's; an empty viewPath derives the view reference. False when the
// parameter cannot be found.
bool ReadParameterRecord(const DeviceModel& model, const ParameterDocument& document, XmlNode node, bool fromView,
                         const std::string& viewPath, const std::string& setNumber, ParameterRecord& out);
