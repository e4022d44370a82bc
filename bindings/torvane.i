/* _TORVANE: the hardware-information records for Python 2.7 scripts. Every
 * handle class with its flat functions, the chain member m_HwInfo, the Eprom
 * buffer functions, and calibration getters answering (result, values...). */
%module TORVANE

%include "conventions.i"

%{
#include "bindings/eprom_buffers.h"
#include "hwinfo/handles.h"
#include "hwinfo/handles_common.h"
#include "hwinfo/handles_cpu.h"
#include "hwinfo/handles_detail.h"

// Appends `value` to a result, turning a single result into a tuple first.
static PyObject* TorvaneAppendResult(PyObject* result, PyObject* value) {
  if (result == NULL || value == NULL) {
    Py_XDECREF(result);
    Py_XDECREF(value);
    return NULL;
  }
  if (!PyTuple_Check(result)) {
    PyObject* single = PyTuple_Pack(1, result);
    Py_DECREF(result);
    if (single == NULL) {
      Py_DECREF(value);
      return NULL;
    }
    result = single;
  }
  const Py_ssize_t size = PyTuple_GET_SIZE(result);
  if (_PyTuple_Resize(&result, size + 1) != 0) {
    Py_DECREF(value);
    return NULL;
  }
  PyTuple_SET_ITEM(result, size, value);
  return result;
}

static const std::size_t kTorvaneImageBytes = 512;
%}

/* Calibration values handed back by reference come back as further results. */
%typemap(in, numinputs=0) float & (float temp = 0.0f) {
  $1 = &temp;
}
%typemap(argout) float & {
  $result = TorvaneAppendResult($result, PyFloat_FromDouble(*$1));
  if ($result == NULL) SWIG_fail;
}

/* A buffer of this module given to Read or Write must hold the whole image. */
%typemap(check) void const *source, void *destination {
  if (!torvane::EpromHolds($1, kTorvaneImageBytes)) {
    SWIG_exception_fail(SWIG_ValueError, "in method '" "$symname" "', argument " "$argnum" " of type '" "$1_type" "': the buffer holds fewer than 512 bytes");
  }
}

/* The record chain is opaque to scripts. */
class HwInfo;

/* m_HwInfo: replacing it keeps the new record alive and never hands away the
 * record the handle created. */
%ignore IHwInfo::GetChain;
%ignore IHwInfo::SetChain;
%extend IHwInfo {
  HwInfo* m_HwInfo;
}
%{
static HwInfo* IHwInfo_m_HwInfo_get(IHwInfo* self) { return self->GetChain(); }
static void IHwInfo_m_HwInfo_set(IHwInfo* self, HwInfo* value) { self->SetChain(value); }
%}

%include "hwinfo/handles.h"
%include "hwinfo/handles_common.h"
%include "hwinfo/handles_cpu.h"
%include "hwinfo/handles_detail.h"

/* Eprom buffers: raw memory for images. Indexes into buffers of this module are
 * checked (IndexError); other pointers pass through. */
%inline %{
void* new_Eprom(int n) { return torvane::NewEprom(n); }
void delete_Eprom(void* buffer) { torvane::DeleteEprom(buffer); }
unsigned char Eprom_get(void* buffer, int i) { return torvane::EpromGet(buffer, i); }
void Eprom_set(void* buffer, int i, unsigned char value) { torvane::EpromSet(buffer, i, value); }
%}
