// CDataModelToHMI: the device-model engine. It owns the model document (over
// the caller's text, parsed in place), the parameter document, the
// implausible-values table and the state loading prepares. Nothing it does
// throws to its caller; failures are answered as false or empty results.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devicemodel/implausible_values.h"
#include "devicemodel/model_queries.h"
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
  const std::map<std::pair<std::string, std::string>, ParameterRecord>& Records() const { return records_; }

  // The two working sets that a new load starts from.
  void ClearWorkingSets();
  // Re-reads what the table holds; the dependency walk joins it with the
  // parameter records.
  void RunInitialCheckPass();

  // The parameter document: declaration and `root` with its header.
  bool CreateParameterDocument(const char* generator, const char* created);
  // Finishes the parameter document (implausible values, stamps, trailer)
  // and answers it as text.
  std::string WriteCustomerAllParameter(const char* changedby, const char* changed);
  XmlDocument& ParameterDocument() { return parameters_; }

  // The values under the parameter node a mapping key names, of installed
  // modules only; the type code and the signatures built from them.
  std::vector<ValueEntry> CollectValues(const char* key) const;
  std::string GetTypecode() const;
  std::vector<std::pair<std::string, std::string>> SwComponentSignatures() const;

 private:
  int LoadSteps(char* text, LoadResult& result);
  void Prepare();

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
  std::map<std::pair<std::string, std::string>, ParameterRecord> records_;
  std::map<std::pair<std::string, std::string>, ParameterRecord> secondSet_;
};

// Leading decimal digits as an integer (0 when there are none); saturates
// instead of overflowing.
int LeadingDecimal(const std::string& text);
