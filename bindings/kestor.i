/* _Kestor: the device-model module. DeviceModelCreator is declared here with
   the argument types scripts see in messages ('char *'); the class itself
   takes const char *. StringVector and IntVector are plain sequences. */
%module Kestor

%include "conventions.i"
%include <std_vector.i>
%include <std_pair.i>

%{
#include "devicemodel/device_model_creator.h"
%}

/* The sequences are used through indexes, slices and iteration only: the
   members that take C++ iterators would accept an iterator of another vector
   and write through it. */
%define RELAY_SEQUENCE(T)
%ignore std::vector<T>::begin;
%ignore std::vector<T>::end;
%ignore std::vector<T>::rbegin;
%ignore std::vector<T>::rend;
%ignore std::vector<T>::erase;
%ignore std::vector<T>::insert;
%ignore std::vector<T>::get_allocator;
%enddef
RELAY_SEQUENCE(std::string)
RELAY_SEQUENCE(int)

%template(StringVector) std::vector<std::string>;
%template(IntVector) std::vector<int>;
%template() std::pair<int, std::string>;

class DeviceModelCreator {
 public:
  DeviceModelCreator(char *model);
  ~DeviceModelCreator();
  bool CreateCustomerDeviceParameter(char *generator, char *created);
  bool SetTypecode(char *typecode);
  std::string GetTypecode();
  std::string WriteCustomerAllParameter(char *changedby, char *changed);
  std::vector<std::string> GetSwComponentSignatureVector();
  std::pair<int, std::string> GetLoadResult() const;
};
