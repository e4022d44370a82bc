// The parameter record: what the checks and rules use of one parameter
// instance, gathered from its definition and menu entry in the model and
// from its value in the parameter document. The plausibility check,
// SetParameter and the dependency rules all work on it; the store of
// ParameterChecks keeps the latest one. Texts a user interface would show
// (short and help texts, units) are not read: nothing here shows them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "xml/xml_node.h"

struct ParameterSetValue {
  std::string value;
  bool pending = false;      // changed and waiting for the deferred checks
  bool implausible = false;  // result of the last evaluation
};

struct ParameterRecord {
  std::string path;          // node path the record was read from: its value reference
  std::string setNumber = "0";
  XmlNode node;              // the parameter's definition in the model
  XmlNode source;            // the node it was read from (a menu entry, or the definition)
  bool fromView = false;     // read as reached from a view
  std::string valuePath;     // path of the value element
  std::string definitionPath;
  std::string defaultValue;
  std::string value;         // current value of this set
  std::string entryRef;      // as written in the menu entry
  std::string nodeType;      // `type` of the source node ("ddiEntry" for DDI entries)
  std::string valueType;     // `type` of the definition
  std::string mode;
  std::string section;
  std::string style;         // `style` of the source node
  std::string min;
  std::string max;
  int decimals = 0;          // digits after the point of a float's max (or _MaxDefaultFloat)
  bool checked = true;       // false: the value is never implausible (mode "value", ...)
  bool implausible = false;
  bool inUse = true;
  bool installed = false;
  bool projected = false;
  std::pair<bool, bool> ddiAssignment{false, false};  // GetParameterAssignmentInfo
  std::vector<std::string> items;        // selection item values, in order
  std::vector<std::string> valueLabels;  // value label values, in order
  std::vector<ParameterSetValue> sets;   // one per set; several for a multi-set parameter
  bool multiSet = false;
  std::string viewRef;   // the view reference it is listed under
  std::string viewPath;  // path of the view element naming it; empty when none
};
