/* _Kestor: the device-model module. DeviceModelCreator is declared here with
   the argument types scripts see in messages ('char *'); the class itself
   takes const char *. StringVector and IntVector are plain sequences. */
%module Kestor

%include "conventions.i"
%include <std_vector.i>

%{
#include "devicemodel/device_model_creator.h"
%}

/* None converts to a null pointer; as the creator itself it would be
   dereferenced, so it is refused with the usual argument error. */
%typemap(check) DeviceModelCreator * {
  if (!$1) {
    SWIG_exception_fail(SWIG_TypeError, "in method '" "$symname" "', argument " "$argnum" " of type '" "$1_type" "'");
  }
}

%template(StringVector) std::vector<std::string>;
%template(IntVector) std::vector<int>;

class DeviceModelCreator {
 public:
  DeviceModelCreator(char *model);
  ~DeviceModelCreator();
  bool CreateCustomerDeviceParameter(char *generator, char *created);
  bool SetTypecode(char *typecode);
  std::string GetTypecode();
  std::string WriteCustomerAllParameter(char *changedby, char *changed);
  std::vector<std::string> GetSwComponentSignatureVector();
};
