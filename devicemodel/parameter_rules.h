// ParameterRules: what a change of a parameter value sets off. SetParameter
// (the one change made on a caller's behalf: recorded for the deferred
// checks, checked, and followed by the parameter's dependency rules),
// SetTypecode over the type-code positions, the initial check pass after a
// load and the deferred checks before a write. Owns the checks and their
// record store; works on the model and the parameter document it is given.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "devicemodel/device_model.h"
#include "devicemodel/parameter_checks.h"
#include "devicemodel/parameter_document.h"

class ParameterRules {
 public:
  ParameterRules(DeviceModel& model, ParameterDocument& document)
      : model_(model), document_(document), checks_(model, document) {}

  // Sets the value of the parameter instance (path in either document, set
  // number); a real change is recorded under deferralKey (a view's path)
  // or, without one, as a (path, value, set number) triple. False when the
  // instance does not exist; mode "directCtrl" values are not set.
  bool SetParameter(const std::string& value, const std::string& path, const std::string& setNumber,
                    const std::string& deferralKey, const std::string& mode);
  // The device name, then one code character per type-code position.
  bool SetTypecode(const char* typecode);
  // Every dependency rule of the model evaluated with its parameter's
  // current value, then every value listed as implausible read again.
  void RunInitialCheckPass();
  // The changes recorded since the last write, read and checked again.
  void RunDeferredChecks();
  // Forgets the recorded changes (a new model is being loaded).
  void ClearPendingChanges();

  ParameterChecks& Checks() { return checks_; }
  const ParameterChecks& Checks() const { return checks_; }

 private:
  DeviceModel& model_;
  ParameterDocument& document_;
  ParameterChecks checks_;
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
