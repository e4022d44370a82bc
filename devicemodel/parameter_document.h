// ParameterDocument: the customer's parameter document of a loaded model,
// with its per-path instance index and its writer. Build mirrors the model's
// parameter sets (CDataModelToParameter); afterwards values change, the
// element structure never does, so the index stays valid. Write finishes the
// document (implausible values, change stamps, checksum trailer) and answers
// it as text. Reads the model; includes nothing of the rules or the facade.
#pragma once

#include <string>

#include "devicemodel/device_model.h"
#include "devicemodel/implausible_values.h"
#include "devicemodel/parameter_instances.h"
#include "xml/xml_document.h"

class ParameterDocument {
 public:
  explicit ParameterDocument(const DeviceModel& model) : model_(model) {}

  // Declaration and `root` with its header, then the parameter sets. A
  // document that would exceed kMaxParameterElements is not built: false,
  // with code 3 and its message in result when given. A model without the
  // header attributes gets an empty document (and true).
  bool Build(const char* generator, const char* created, LoadResult* result = nullptr);
  // Forgets the instances (a new model is being loaded); the tree stays
  // until the next Build.
  void ClearInstances() { instances_.Clear(); }
  // Adds the implausible values (when any), the change stamps and the
  // trailer, and answers the whole text; "" while no model is loaded and
  // when no digest can be computed.
  std::string Write(const ImplausibleValues& implausible, const char* changedby, const char* changed);

  // Sets the value of an instance (a value element of this document).
  bool SetValue(XmlNode instance, const std::string& value) { return SetValueText(instance, value); }

  bool Exists() const { return !instances_.Empty(); }
  const ParameterInstances& Instances() const { return instances_; }
  XmlDocument& Xml() { return document_; }

  // The path of the parameter document's root element ("/root"), and the
  // same element's path in either document (the roots' names may differ).
  static std::string RootPath();
  std::string ParameterPath(const std::string& modelPath) const;
  std::string ModelPath(const std::string& parameterPath) const;

 private:
  const DeviceModel& model_;
  XmlDocument document_;
  ParameterInstances instances_;
  bool implausibleWritten_ = false;  // root's last child is our ImplausibleValues
};
