// DeviceModelCreator: copies the model text, loads it once, and guards every
// call so that no exception and no out-of-order call reaches the caller.
#include "devicemodel/device_model_creator.h"

#include <cstring>

#include "devicemodel/data_model_to_hmi.h"
#include "devicemodel/messages.h"

DeviceModelCreator::DeviceModelCreator(const char* model) : core_(std::make_unique<CDataModelToHMI>()) {
  const size_t length = model ? std::strlen(model) : 0;
  model_.assign(model, model + length);
  model_.push_back('\0');
}

DeviceModelCreator::~DeviceModelCreator() = default;

bool DeviceModelCreator::CreateCustomerDeviceParameter(const char* generator, const char* created) {
  // The text is consumed by the first in-place parse: one load per creator.
  if (loadTried_ || !generator || !created) return false;
  loadTried_ = true;
  try {
    LoadResult result;
    const bool accepted = core_->Load(model_.data(), result);
    loadResult_ = {result.code, result.message};
    if (!accepted) return false;
    core_->ClearWorkingSets();
    core_->RunInitialCheckPass();
    loaded_ = core_->CreateParameterDocument(generator, created, &result);
    // A parameter document refused for its size says so in the same result.
    if (!loaded_) loadResult_ = {result.code, result.message};
  } catch (...) {
    loaded_ = false;
  }
  // An exception after loading still counts as a rejected model.
  if (!loaded_ && loadResult_.first == kLoadOk)
    loadResult_ = {kLoadParseError, std::string(messages::kInvalidModel) + messages::kParseError};
  return loaded_;
}

bool DeviceModelCreator::SetTypecode(const char* typecode) {
  if (!loaded_) return false;
  try {
    return core_->SetTypecode(typecode);
  } catch (...) {
    return false;
  }
}

std::string DeviceModelCreator::GetTypecode() {
  if (!loaded_) return std::string();
  try {
    return core_->GetTypecode();
  } catch (...) {
    return std::string();
  }
}

std::string DeviceModelCreator::WriteCustomerAllParameter(const char* changedby, const char* changed) {
  if (!loaded_) return std::string();
  try {
    return core_->WriteCustomerAllParameter(changedby, changed);
  } catch (...) {
    return std::string();
  }
}

std::vector<std::string> DeviceModelCreator::GetSwComponentSignatureVector() {
  std::vector<std::string> joined;
  if (!loaded_) return joined;
  try {
    for (const auto& pair : core_->SwComponentSignatures()) joined.push_back(pair.first + " " + pair.second);
  } catch (...) {
    joined.clear();
  }
  return joined;
}
