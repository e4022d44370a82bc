// DeviceModelCreator: the one class of _Kestor. It keeps a private copy of
// the model text and one engine; one creator serves one load of one model.
// Calls outside the supported order answer false, "" or an empty vector.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CDataModelToHMI;

class DeviceModelCreator {
 public:
  // A null model is an empty model: the load will fail.
  explicit DeviceModelCreator(const char* model);
  ~DeviceModelCreator();
  DeviceModelCreator(const DeviceModelCreator&) = delete;
  DeviceModelCreator& operator=(const DeviceModelCreator&) = delete;

  bool CreateCustomerDeviceParameter(const char* generator, const char* created);
  bool SetTypecode(const char* typecode);
  std::string GetTypecode();
  std::string WriteCustomerAllParameter(const char* changedby, const char* changed);
  std::vector<std::string> GetSwComponentSignatureVector();
  // Why the load refused the model: (code 1..6, message); (0, "") before the
  // load and after an accepted one.
  std::pair<int, std::string> GetLoadResult() const { return loadResult_; }

 private:
  std::unique_ptr<CDataModelToHMI> core_;
  std::vector<char> model_;  // the private copy, parsed in place by the load
  bool loadTried_ = false;
  bool loaded_ = false;
  std::pair<int, std::string> loadResult_{0, std::string()};
};
