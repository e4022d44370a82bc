// The parameter record: what is known of one parameter instance, gathered
// from its definition and menu entry in the model and from its value in the
// parameter document. The plausibility check, SetParameter and the
// dependency rules all work on it; the engine's store keeps the latest one.
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
  std::string name;
  std::string shortText;
  std::string helpText;
  std::string defaultValue;
  std::string value;         // current value of this set
  std::string entryRef;      // as written in the menu entry
  std::string timePath;      // resolved timeRef
  std::string nodeType;      // `type` of the source node ("ddiEntry" for DDI entries)
  std::string valueType;     // `type` of the definition
  std::string mode;
  std::string section;
  std::string style;         // `style` of the source node
  std::string view;
  std::string unitText;
  std::string min;
  std::string max;
  std::string localId;
  int decimals = 0;
  std::string step;
  std::string length;
  std::string accessLevel;
  std::string rawType;
  bool checked = true;       // false: the value is never implausible (mode "value", ...)
  bool implausible = false;
  bool inUse = true;
  bool installed = false;
  bool projected = false;
  bool projectedSwitch = true;
  std::pair<bool, bool> ddiAssignment{false, false};  // GetParameterAssignmentInfo
  std::vector<std::string> items;        // selection item values, in order
  std::vector<std::string> valueLabels;  // value label values, in order
  std::vector<ParameterSetValue> sets;   // one per set; several for a multi-set parameter
  bool multiSet = false;
  std::string viewRef;   // the view reference it is listed under
  std::string viewPath;  // path of the view element naming it; empty when none
};
