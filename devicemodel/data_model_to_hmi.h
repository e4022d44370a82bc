// CDataModelToHMI: the device-model engine each DeviceModelCreator owns, a
// facade over three parts that call one way:
//   DeviceModel (the loaded model) <- ParameterDocument (the parameter
//   document and its writer) <- ParameterRules (dependencies, plausibility,
//   value changes) <- CDataModelToHMI.
// It orders their work (load, initial check pass, document, writes) and
// answers failures as false or empty results; nothing it does throws to its
// caller. The diagnostic log records of the relay tools are not kept: this
// module never installs a log sink, so none is composed.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "devicemodel/device_model.h"
#include "devicemodel/parameter_document.h"
#include "devicemodel/parameter_rules.h"
#include "devicemodel/type_code.h"

class CDataModelToHMI {
 public:
  CDataModelToHMI() = default;
  CDataModelToHMI(const CDataModelToHMI&) = delete;
  CDataModelToHMI& operator=(const CDataModelToHMI&) = delete;

  // Loads a model text in place (terminators are written into it). Any
  // failure, including an exception inside, answers false with result set.
  bool Load(char* text, LoadResult& result);
  bool Loaded() const { return model_.Loaded(); }

  const ModelHeader& Header() const { return model_.Header(); }
  const std::string& MenuRootPath() const { return model_.MenuRootPath(); }
  const std::string& SectionMdmPath() const { return model_.SectionMdmPath(); }
  int MultiSetCount() const { return model_.MultiSetCount(); }
  const std::string& ProductLine() const { return model_.Header().productLine; }
  bool HasTemperatureUnit() const { return model_.HasTemperatureUnit(); }
  const std::string& TemperatureSelectPath() const { return model_.TemperatureSelectPath(); }
  const std::string& TemperatureCelsiusPath() const { return model_.TemperatureCelsiusPath(); }
  const std::string& TemperatureFahrenheitPath() const { return model_.TemperatureFahrenheitPath(); }
  bool AnsiDeviceNumbers() const { return model_.AnsiDeviceNumbers(); }
  bool GridFaultCounterHidden() const { return model_.GridFaultCounterHidden(); }
  XmlDocument* ModelDocument() const { return model_.Document(); }
  const model::ModelQueries* Queries() const { return model_.Queries(); }

  // Plausibility: true when the record's value is implausible; keeps the
  // implausible-values table and stores the record back.
  bool PlausibilityCheck(ParameterRecord& record) { return rules_.Checks().PlausibilityCheck(record); }
  const ImplausibleValues& Implausible() const { return rules_.Checks().Implausible(); }
  using RecordStore = ParameterChecks::RecordStore;
  const RecordStore& Records() const { return rules_.Checks().Records(); }

  // Reads the record of a parameter: node is a menu entry (fromView, naming
  // its parameter by entryRef) or the definition itself. An empty set
  // number takes the first instance's. Checks the value unless the
  // parameter is never checked, and stores the record. False when the
  // parameter cannot be found.
  bool ReadRecord(XmlNode node, bool fromView, const std::string& viewPath, ParameterRecord& out,
                  const std::string& setNumber = std::string()) {
    return rules_.Checks().ReadRecord(node, fromView, viewPath, out, setNumber);
  }
  void StoreRecord(const ParameterRecord& record) { rules_.Checks().StoreRecord(record); }

  // The record store that a new load starts from.
  void ClearWorkingSets() { rules_.Checks().ClearRecords(); }
  // Every dependency rule of the model evaluated with its parameter's
  // current value, then every value listed as implausible read again.
  void RunInitialCheckPass() { rules_.RunInitialCheckPass(); }

  // The one operation that changes a parameter value on a caller's behalf.
  bool SetParameter(const std::string& value, const std::string& path, const std::string& setNumber,
                    const std::string& deferralKey, const std::string& mode) {
    return rules_.SetParameter(value, path, setNumber, deferralKey, mode);
  }
  bool SetTypecode(const char* typecode) { return rules_.SetTypecode(typecode); }

  bool HasParameterDocument() const { return document_.Exists(); }
  const ParameterInstances& Instances() const { return document_.Instances(); }
  // View in use, remembered until a rule changes a model attribute.
  bool ViewInUse(const std::string& viewPath) const { return model_.ViewInUse(viewPath); }

  // The parameter document: declaration and `root` with its header, then the
  // parameter sets. A document that would exceed kMaxParameterElements is
  // not built: false, with code 3 and its message in result when given.
  bool CreateParameterDocument(const char* generator, const char* created, LoadResult* result = nullptr) {
    return document_.Build(generator, created, result);
  }
  // Runs the deferred checks, then finishes the parameter document
  // (implausible values, stamps, trailer) and answers it as text.
  std::string WriteCustomerAllParameter(const char* changedby, const char* changed);
  XmlDocument& ParameterDocument() { return document_.Xml(); }
  // The path of the parameter document's root element ("/root"), and the
  // same element's path in either document (the roots' names may differ).
  static std::string ParameterRootPath() { return ::ParameterDocument::RootPath(); }
  std::string ParameterPath(const std::string& modelPath) const { return document_.ParameterPath(modelPath); }
  std::string ModelPath(const std::string& parameterPath) const { return document_.ModelPath(parameterPath); }

  // The values under the parameter node a mapping key names, of installed
  // modules only; the type code and the signatures built from them.
  std::vector<ValueEntry> CollectValues(const char* key) const { return ::CollectValues(model_, document_, key); }
  std::string GetTypecode() const { return ::GetTypecode(model_, document_); }
  std::vector<std::pair<std::string, std::string>> SwComponentSignatures() const {
    return ::SwComponentSignatures(model_, document_);
  }

  // The parts, for callers that use one without the others.
  const DeviceModel& Model() const { return model_; }
  const ::ParameterDocument& Document() const { return document_; }
  ParameterRules& Rules() { return rules_; }

 private:
  DeviceModel model_;
  ::ParameterDocument document_{model_};
  ParameterRules rules_{model_, document_};
};
