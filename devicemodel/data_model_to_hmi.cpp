// The facade's own work: the order in which the parts are reset on a load
// and run on a write. Everything else is handed to the part that holds it.
#include "devicemodel/data_model_to_hmi.h"

bool CDataModelToHMI::Load(char* text, LoadResult& result) {
  // A new model: the old document's instances and the recorded changes go.
  document_.ClearInstances();
  rules_.ClearPendingChanges();
  return model_.Load(text, result);
}

std::string CDataModelToHMI::WriteCustomerAllParameter(const char* changedby, const char* changed) {
  if (!Loaded() || !changedby || !changed) return std::string();
  // The changes recorded since the last write are checked again first:
  // what they find is what the document lists as implausible.
  rules_.RunDeferredChecks();
  return document_.Write(rules_.Checks().Implausible(), changedby, changed);
}
