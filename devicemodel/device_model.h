// DeviceModel: the loaded device model. Load parses the caller's text in
// place, checks it (codes 1 to 6) and prepares the header, paths and flags
// the other parts read. Once loaded, the element structure and the indexes
// never change; the one write is ChangeAttribute, through which the
// dependency rules change an attribute value (a limit, a flag, a default).
// Includes nothing of the parameter document, the rules or the facade.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "devicemodel/model_queries.h"
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

class DeviceModel {
 public:
  // Loads a model text in place (terminators are written into it). Any
  // failure, including an exception inside, answers false with result set;
  // the model is then not loaded (the header keeps what was read).
  bool Load(char* text, LoadResult& result);
  bool Loaded() const { return queries_ != nullptr; }

  const ModelHeader& Header() const { return header_; }
  const std::string& MenuRootPath() const { return menuRootPath_; }
  const std::string& SectionMdmPath() const { return sectionMdmPath_; }
  int MultiSetCount() const { return multiSetCount_; }
  bool HasTemperatureUnit() const { return temperatureUnit_; }
  const std::string& TemperatureSelectPath() const { return temperatureSelectPath_; }
  const std::string& TemperatureCelsiusPath() const { return temperatureCelsiusPath_; }
  const std::string& TemperatureFahrenheitPath() const { return temperatureFahrenheitPath_; }
  bool AnsiDeviceNumbers() const { return ansiDeviceNumbers_; }
  bool GridFaultCounterHidden() const { return gridFaultCounterHidden_; }
  // The path of the first element whose mode is "typeCode": the deferral key
  // of type-code changes. Empty when the model has none.
  const std::string& TypeCodeEntryPath() const { return typeCodeEntryPath_; }
  XmlDocument* Document() const { return document_.get(); }
  // Null while no model is loaded.
  const model::ModelQueries* Queries() const { return queries_.get(); }

  // View in use, remembered until an attribute changes.
  bool ViewInUse(const std::string& viewPath) const;
  // A rule's attribute action: sets (or adds) one attribute of a model
  // element. Values only, never elements, so the paths stay valid.
  void ChangeAttribute(XmlNode element, const char* name, const char* value);

 private:
  int LoadSteps(char* text, LoadResult& result);
  void Prepare();

  std::unique_ptr<XmlDocument> document_;
  std::unique_ptr<model::ModelQueries> queries_;
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
  std::string typeCodeEntryPath_;
  mutable std::map<std::string, bool> viewInUse_;
};

// Leading decimal digits as an integer (0 when there are none); saturates
// instead of overflowing.
int LeadingDecimal(const std::string& text);
