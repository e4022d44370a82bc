// Test models: a small valid device model body and the trailer line that
// makes a body a loadable model text.
#pragma once

#include <cstdio>
#include <string>

#include "devicemodel/checksum.h"

namespace modeltest {

// "<!--CHECKSUM:" + digest + " LENGTH:" + 8 hex digits + "-->\n": 65 bytes.
inline std::string WithTrailer(const std::string& body) {
  char length[16];
  std::snprintf(length, sizeof length, "%08zx", body.size());
  return body + "<!--CHECKSUM:" + Checksum(body.data(), body.size()) + " LENGTH:" + length + "-->\n";
}

inline std::string Header(const std::string& attributes) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root " + attributes + ">\n";
}

inline const char* kBodyInside =
    "\t<Modules>\n"
    "\t\t<Device type=\"mdmDevice\" shortText=\"t\"/>\n"
    "\t\t<Prot type=\"mdm\" installed=\"true\" projected=\"true\">\n"
    "\t\t\t<Params type=\"sectionMDM\">\n"
    "\t\t\t\t<Set based=\"paraSet\" type=\"sectionSingleSet\">\n"
    "\t\t\t\t\t<Limit type=\"integer\" min=\"0\" max=\"10\" default=\"5\"/>\n"
    "\t\t\t\t</Set>\n"
    "\t\t\t</Params>\n"
    "\t\t</Prot>\n"
    "\t</Modules>\n"
    "\t<Hmi mode=\"menuTree\">\n"
    "\t\t<Top type=\"root\"/>\n"
    "\t</Hmi>\n";

inline std::string Body(const std::string& attributes =
                            "device=\"DEV1\" versionContent=\"1.0\" multiSets=\"2\" versionSyntax=\"16\"",
                        const std::string& inside = kBodyInside) {
  return Header(attributes) + inside + "</root>\n";
}

inline std::string Model() { return WithTrailer(Body()); }

}  // namespace modeltest

#include <vector>

#include "devicemodel/data_model_to_hmi.h"

namespace modeltest {

// An engine over a model text, taken through the creator's steps: load,
// the initial check pass, the parameter document.
struct LoadedModel {
  explicit LoadedModel(const std::string& model, bool createDocument = true) : text(model.begin(), model.end()) {
    text.push_back('\0');
    ok = engine.Load(text.data(), result);
    if (!ok) return;
    engine.ClearWorkingSets();
    engine.RunInitialCheckPass();
    if (createDocument) ok = engine.CreateParameterDocument("g", "c");
  }
  // The value of a parameter instance in the parameter document.
  std::string Value(const std::string& path, const std::string& set = "0") const {
    return ValueText(engine.Instances().InSet(path, set));
  }
  std::vector<char> text;
  CDataModelToHMI engine;
  LoadResult result;
  bool ok = false;
};

}  // namespace modeltest
