/* _TORVANE: the hardware-information records for Python 2.7 scripts. Every
 * handle class with its flat functions, the chain member m_HwInfo, the Eprom
 * buffer functions, and calibration getters answering (result, values...). */
%module TORVANE

%include "conventions.i"
%include "torvane_docs.i"

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

// A buffer argument: None (a null pointer, which the functions refuse or
// ignore) or a live buffer of new_Eprom. Answers SWIG_TypeError for any other
// object, wrapped pointers of other types included, and SWIG_ValueError for a
// buffer already given to delete_Eprom.
static int TorvaneBuffer(PyObject* input, void** buffer) {
  *buffer = NULL;
  if (input == Py_None) return SWIG_OK;
  SwigPyObject* wrapped = SWIG_Python_GetSwigThis(input);
  if (wrapped == NULL || wrapped->ty != SWIGTYPE_p_void) return SWIG_TypeError;
  if (wrapped->ptr == NULL || !torvane::IsEprom(wrapped->ptr)) return SWIG_ValueError;
  *buffer = wrapped->ptr;
  return SWIG_OK;
}
%}

/* Buffers: only what new_Eprom handed out and delete_Eprom has not taken back.
 * delete_Eprom clears the object it frees, so it cannot be used again. */
%typemap(in) void const *source, void *destination, void *buffer, void *freed {
  const int res = TorvaneBuffer($input, (void**)&$1);
  if (res == SWIG_ValueError) {
    SWIG_exception_fail(SWIG_ValueError, "in method '" "$symname" "', argument " "$argnum" " of type '" "$type" "': the buffer was given to delete_Eprom");
  }
  if (!SWIG_IsOK(res)) %argument_fail(res, "$type", $symname, $argnum);
}
%typemap(argout, fragment="RelayClearDeleted") void *freed {
  RelayClearDeleted($input);
}

/* m_HwInfo: a record the module no longer holds (every handle that kept it was
 * deleted) cannot be set as a chain. */
%typemap(check) HwInfo * {
  if ($1 && !HwInfo::IsLive($1)) {
    SWIG_exception_fail(SWIG_ValueError, "in method '" "$symname" "', argument " "$argnum" " of type '" "$1_type" "': the record was deleted");
  }
}

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

/* Eprom buffers: raw memory for images. Indexes are checked (IndexError). */
%inline %{
void* new_Eprom(int n) { return torvane::NewEprom(n); }
void delete_Eprom(void* freed) { torvane::DeleteEprom(freed); }
unsigned char Eprom_get(void* buffer, int i) { return torvane::EpromGet(buffer, i); }
void Eprom_set(void* buffer, int i, unsigned char value) { torvane::EpromSet(buffer, i, value); }
%}
