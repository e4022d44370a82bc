// CDataModelToHMI: the device-model engine. It owns the model document (over
// the caller's text, parsed in place), the parameter document, the
// implausible-values table, the parameter record store and the state loading
// prepares. Nothing it does throws to its caller; failures are answered as
// false or empty results. The diagnostic log records of the relay tools are
// not kept: this module never installs a log sink, so none is composed.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devicemodel/implausible_values.h"
#include "devicemodel/model_queries.h"
#include "devicemodel/parameter_instances.h"
#include "devicemodel/parameter_record.h"
#include "xml/xml_document.h"

struct LoadResult {
  int code = 0;  // 0 accepted, 1..6 rejected
  std::string message;
};

enum LoadCode : int {
  kLoadOk = 0,
  kLoadBadChecksum = 1,
  kLoadBadSyntaxVersion = 2,
  kLoadMissingMainAttributes = 3,
  kLoadNoMenuTree = 4,
  kLoadNoMenuRoot = 5,
  kLoadParseError = 6,
};

// One value of the parameter document: the path of the node holding it (a
// text node's path ends with "/"), its text and the nearest set number.
struct ValueEntry {
  std::string path;
  std::string value;
  std::string setNumber;
};

struct ModelHeader {
  std::string device;
  std::string versionContent;
  std::string multiSets;
  std::string versionSyntax;
  std::string versionSyntaxSLVP;
  std::string productLine;
  std::string handoff;
  std::string shortText;  // of the mdmDevice element, through the text lookup
  std::string helpText;
  bool newSyntax = false;  // versionSyntax 8 or more
};

class CDataModelToHMI {
 public:
  explicit CDataModelToHMI(int mode = 0) : mode_(mode) {}

  // Loads a model text in place (terminators are written into it). Any
  // failure, including an exception inside, answers false with result set.
  bool Load(char* text, LoadResult& result);
  bool Loaded() const { return queries_ != nullptr; }

  const ModelHeader& Header() const { return header_; }
  const std::string& MenuRootPath() const { return menuRootPath_; }
  const std::string& SectionMdmPath() const { return sectionMdmPath_; }
  int MultiSetCount() const { return multiSetCount_; }
  const std::string& ProductLine() const { return header_.productLine; }
  bool HasTemperatureUnit() const { return temperatureUnit_; }
  const std::string& TemperatureSelectPath() const { return temperatureSelectPath_; }
  const std::string& TemperatureCelsiusPath() const { return temperatureCelsiusPath_; }
  const std::string& TemperatureFahrenheitPath() const { return temperatureFahrenheitPath_; }
  bool AnsiDeviceNumbers() const { return ansiDeviceNumbers_; }
  bool GridFaultCounterHidden() const { return gridFaultCounterHidden_; }
  XmlDocument* ModelDocument() const { return model_.get(); }
  const model::ModelQueries* Queries() const { return queries_.get(); }

  // Plausibility: true when the record's value is implausible; keeps the
  // implausible-values table and stores the record back.
  bool PlausibilityCheck(ParameterRecord& record);
  const ImplausibleValues& Implausible() const { return implausible_; }
  using RecordStore = std::map<std::pair<std::string, std::string>, ParameterRecord>;
  const RecordStore& Records() const { return records_; }

  // Reads the record of a parameter: node is a menu entry (fromView, naming
  // its parameter by entryRef) or the definition itself. An empty set
  // number takes the first instance's. Checks the value unless the
  // parameter is never checked, and stores the record. False when the
  // parameter cannot be found.
  bool ReadRecord(XmlNode node, bool fromView, const std::string& viewPath, ParameterRecord& out,
                  const std::string& setNumber = std::string());
  void StoreRecord(const ParameterRecord& record);

  // The two working sets that a new load starts from.
  void ClearWorkingSets();
  // Every dependency rule of the model evaluated with its parameter's
  // current value, then every value listed as implausible read again.
  void RunInitialCheckPass();

  // The one operation that changes a parameter value (see set_parameter.cpp).
  bool SetParameter(const std::string& value, const std::string& path, const std::string& setNumber,
                    const std::string& deferralKey, const std::string& mode);
  bool SetTypecode(const char* typecode);

  // Shared with the dependency rules.
  bool HasParameterDocument() const { return !instances_.Empty(); }
  const ParameterInstances& Instances() const { return instances_; }
  int Mode() const { return mode_; }
  // View in use, remembered until a rule changes a model attribute.
  bool ViewInUse(const std::string& viewPath);
  void ModelAttributesChanged() { viewInUse_.clear(); }

  // The parameter document: declaration and `root` with its header, then the
  // parameter sets. A document that would exceed kMaxParameterElements is
  // not built: false, with code 3 and its message in result when given.
  bool CreateParameterDocument(const char* generator, const char* created, LoadResult* result = nullptr);
  // Finishes the parameter document (implausible values, stamps, trailer)
  // and answers it as text.
  std::string WriteCustomerAllParameter(const char* changedby, const char* changed);
  XmlDocument& ParameterDocument() { return parameters_; }
  // The path of the parameter document's root element ("/root"), and the
  // same element's path in either document (the roots' names may differ).
  static std::string ParameterRootPath();
  std::string ParameterPath(const std::string& modelPath) const;
  std::string ModelPath(const std::string& parameterPath) const;

  // The values under the parameter node a mapping key names, of installed
  // modules only; the type code and the signatures built from them.
  std::vector<ValueEntry> CollectValues(const char* key) const;
  std::string GetTypecode() const;
  std::vector<std::pair<std::string, std::string>> SwComponentSignatures() const;

 private:
  int LoadSteps(char* text, LoadResult& result);
  void Prepare();
  void RunDeferredChecks();
  std::string DerivedViewReference(const std::string& valuePath, const std::string& setNumber) const;
  void FillValues(ParameterRecord& record, const std::string& setNumber) const;
  void FillItems(ParameterRecord& record) const;

  int mode_;
  std::unique_ptr<XmlDocument> model_;
  std::unique_ptr<model::ModelQueries> queries_;
  XmlDocument parameters_;
  bool implausibleWritten_ = false;  // root's last child is our ImplausibleValues
  ModelHeader header_;
  std::string menuRootPath_;
  std::string sectionMdmPath_;
  int multiSetCount_ = 0;
  bool temperatureUnit_ = false;
  std::string temperatureSelectPath_;
  std::string temperatureCelsiusPath_;
  std::string temperatureFahrenheitPath_;
  bool ansiDeviceNumbers_ = false;
  bool gridFaultCounterHidden_ = false;
  ImplausibleValues implausible_;
  RecordStore records_;
  RecordStore secondSet_;
  ParameterInstances instances_;
  std::map<std::string, bool> viewInUse_;
  std::string typeCodeEntryPath_;  // the deferral key of type-code changes
  // Changes waiting for the deferred checks: paths under a view key, and
  // (path, value, set number) triples in registration order.
  struct PendingChange {
    std::string path;
    std::string value;
    std::string setNumber;
  };
  std::map<std::string, std::vector<std::string>> deferred_;
  std::vector<PendingChange> pendingChanges_;
};

// Leading decimal digits as an integer (0 when there are none); saturates
// instead of overflowing.
int LeadingDecimal(const std::string& text);
