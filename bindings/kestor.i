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

/* What help() shows: every operation with its arguments, result and meaning. */
%feature("autodoc", "2");
%feature("docstring") DeviceModelCreator "DeviceModelCreator(model) -> a creator over a private copy of model, the
complete device model XML text ending in its checksum comment. One creator
serves one load of one model: CreateCustomerDeviceParameter, then any number of
SetTypecode, GetTypecode and GetSwComponentSignatureVector, then
WriteCustomerAllParameter. Calls outside that order answer False, '' or ().
After delete_DeviceModelCreator every call raises ValueError.";
%feature("docstring") DeviceModelCreator::CreateCustomerDeviceParameter "CreateCustomerDeviceParameter(generator, created) -> bool: loads and checks the
model (MD5 checksum, syntax version 2 to 16, main attributes, HMI menu tree) and
builds the parameter document; generator names the generating tool, created is
the creation time stamp (free text). False when the model is refused
(GetLoadResult tells why) and on every call after the first.";
%feature("docstring") DeviceModelCreator::SetTypecode "SetTypecode(typecode) -> bool: sets the type-code parameters from typecode
(the device name followed by one code character per option), applying their
rules. False when the prefix is not the device name or a character names no
option (earlier positions keep their new values).";
%feature("docstring") DeviceModelCreator::GetTypecode "GetTypecode() -> str: the type code derived from the current parameter values
('?' for a position without code).";
%feature("docstring") DeviceModelCreator::WriteCustomerAllParameter "WriteCustomerAllParameter(changedby, changed) -> str: the complete parameter
file: the parameter document with the implausible values, the change stamps
changedby and changed (free text) and its MD5 checksum comment. May be called
again; each call restamps.";
%feature("docstring") DeviceModelCreator::GetSwComponentSignatureVector "GetSwComponentSignatureVector() -> tuple of str: each software component's
name and signature joined by one blank; () when the model maps none.";
%feature("docstring") DeviceModelCreator::GetLoadResult "GetLoadResult() -> (code, message): why CreateCustomerDeviceParameter refused
the model: code 1 checksum (or no MD5 in the crypto library), 2 syntax version,
3 main attributes, 4 no menu tree, 5 no menu root, 6 not well-formed; message
starts with 'Invalid device model!\n'. (0, '') before the load and after an
accepted one.";
%feature("docstring") std::vector<std::string> "StringVector([texts]) -> a sequence of strings (index, slice, len, iteration,
append, pop, ...).";
%feature("docstring") std::vector<int> "IntVector([numbers]) -> a sequence of ints (index, slice, len, iteration,
append, pop, ...).";

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
