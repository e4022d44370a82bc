// CDataModelDependency: evaluates the dependency rules of parameters (check
// elements with a comparison and then/else blocks of actions) and applies
// their actions to the parameter document (values) and the model (attribute
// values), then has ParameterChecks read and check what changed. Rule chains
// are followed recursively, but only while a written value actually changes
// something and never deeper than kMaxDependencyDepth, so cyclic rules end.
#pragma once

#include <string>

#include "devicemodel/device_model.h"
#include "devicemodel/parameter_checks.h"
#include "devicemodel/parameter_document.h"
#include "xml/xml_node.h"

// Chains of rules deeper than this are cut: the action that would go
// deeper is skipped. Real rule chains are a few links long.
constexpr int kMaxDependencyDepth = 256;

class CDataModelDependency {
 public:
  // typeCodeDependents admits the "typeCodeDependents" rules besides the
  // "dependents" ones; every pass of this library admits both.
  CDataModelDependency(DeviceModel& model, ParameterDocument& document, ParameterChecks& checks,
                       bool typeCodeDependents = true);

  bool IsDependencyElement(XmlNode node) const;
  // The initial check pass: one rule, with its parameter's current value
  // (the parameter document's, else the model default), from set "0".
  void EvaluateRule(XmlNode rule);
  // Every rule of a parameter; with instances in the parameter document,
  // each instance's own value and set number are tested.
  void Evaluate(XmlNode definition, const std::string& value, const std::string& setNumber);

  // The setNo of the nearest element at or above node; "0" when none has one.
  static std::string GetSetNumberString(XmlNode node);
  // Executes the actions of a then- or else-block for the value under test.
  void GetCheckBlockInfo(XmlNode block);

 private:
  void EvaluateRules(XmlNode definition, const std::string& value, const std::string& setNumber, bool everyInstance);
  void EvaluateCheck(XmlNode rule, const std::string& value, const std::string& setNumber, bool everyInstance);
  void RunCheck(XmlNode rule, const std::string& value, const std::string& setNumber);
  void Act(XmlNode action);
  void SetModelAttribute(const std::string& reference, const std::string& name, const std::string& value);
  void WriteParameterValue(const std::string& parameterPath, const std::string& value);
  bool ModuleInstalled(XmlNode definition) const;

  DeviceModel& model_;
  ParameterDocument& document_;
  ParameterChecks& checks_;
  bool typeCodeDependents_;
  // The value under test, its set and parameter.
  std::string value_;
  std::string setNumber_ = "0";
  XmlNode definition_;
  int depth_ = 0;
};

// The comparison of a rule: "eq" compares text, "gt", "ge", "lt" and "le"
// compare decimal numbers. An unknown comparison never holds.
bool DependencyConditionHolds(const std::string& check, const std::string& value, const std::string& with);
