// What the plausibility evaluation needs to know of one parameter: its
// path, type, limits, selection items, value labels, the value of each set
// and the view it shows in. The parameter reader fills it from the model and
// the parameter document.
#pragma once

#include <string>
#include <vector>

#include "xml/xml_node.h"

struct ParameterSetValue {
  std::string value;
  bool pending = false;      // changed and waiting for the deferred checks
  bool implausible = false;  // result of the last evaluation
};

struct ParameterRecord {
  std::string path;          // node path of the parameter: its value reference
  std::string setNumber = "0";
  XmlNode node;              // the parameter's element in the model
  std::string valueType;     // `type`
  std::string style;         // `style`
  std::string min;
  std::string max;
  std::vector<std::string> items;        // selection item values, in order
  std::vector<std::string> valueLabels;  // value label values, in order
  std::vector<ParameterSetValue> sets;   // one per set; several for a multi-set parameter
  bool multiSet = false;
  std::string viewRef;   // the view reference it is listed under
  std::string viewPath;  // path of the view element naming it; empty when none
};
