/* Binding conventions shared by the project's Python modules (_TORVANE,
 * _Kestor): standard strings as Python strings (under Python 3 text arguments
 * take str or bytes, see below), no C++ exception ever reaching
 * Python unconverted (out_of_range raises IndexError, invalid_argument
 * ValueError, bad_alloc MemoryError), and unsigned long holding 32 bits as on the workstation
 * the scripts were written for (larger numbers raise OverflowError with the
 * usual argument text). The generated wrapper is rewritten afterwards by
 * apply_conventions.py for the parsing and message conventions. */

/* Text arguments under Python 3: bytes pass through unchanged, str is encoded
 * as UTF-8 with "surrogateescape", so a text answered by a module (decoded with
 * that handler) goes back in as the very bytes the engine produced. Anything else
 * takes the generator's own path (None for a null pointer, wrapped char
 * pointers). Python 2.7 strings are untouched. Every later conversion of a text
 * argument, std::string included, goes through this function; it is emitted
 * before any of them. */
%fragment("RelayTextArgument", "header", fragment="SWIG_AsCharPtrAndSize") %{
SWIGINTERN int RelayAsCharPtrAndSize(PyObject* obj, char** cptr, size_t* psize, int* alloc) {
#if PY_VERSION_HEX >= 0x03000000
  PyObject* encoded = NULL;
  if (PyUnicode_Check(obj)) {
    encoded = PyUnicode_AsEncodedString(obj, "utf-8", "surrogateescape");
    if (encoded == NULL) {  /* a lone surrogate outside the escape range */
      PyErr_Clear();
      return SWIG_TypeError;
    }
  } else if (!PyBytes_Check(obj)) {
    return SWIG_AsCharPtrAndSize(obj, cptr, psize, alloc);
  }
  char* text = NULL;
  Py_ssize_t size = 0;
  PyBytes_AsStringAndSize(encoded ? encoded : obj, &text, &size);
  int result = SWIG_OK;
  if (cptr) {
    if (encoded == NULL) {  /* bytes: the object's own buffer, alive for the call */
      *cptr = text;
      if (alloc) *alloc = SWIG_OLDOBJ;
    } else if (alloc) {     /* str: a copy the wrapper frees after the call */
      *cptr = static_cast<char*>(memcpy(new char[size + 1], text, size + 1));
      *alloc = SWIG_NEWOBJ;
    } else {
      result = SWIG_RuntimeError;
    }
  }
  if (psize) *psize = static_cast<size_t>(size) + 1;
  Py_XDECREF(encoded);
  return result;
#else
  return SWIG_AsCharPtrAndSize(obj, cptr, psize, alloc);
#endif
}
#define SWIG_AsCharPtrAndSize RelayAsCharPtrAndSize
%}
%fragment("RelayTextArgument");

%include <std_string.i>
%include <exception.i>

%{
#include <new>
#include <stdexcept>
%}

%exception {
  try {
    $action
  } catch (const std::out_of_range& e) {
    SWIG_exception(SWIG_IndexError, e.what());
  } catch (const std::invalid_argument& e) {
    SWIG_exception(SWIG_ValueError, e.what());
  } catch (const std::bad_alloc&) {
    SWIG_exception(SWIG_MemoryError, "out of memory in method '$symname'");
  } catch (const std::exception& e) {
    SWIG_exception(SWIG_RuntimeError, e.what());
  }
}

/* The object a method works on (argument 1). None is refused like any other
 * wrong argument (TypeError), never dereferenced. A destructor function clears
 * the wrapped pointer of the object it deletes, so any later call with that
 * object, a second delete included, raises ValueError instead of touching freed
 * memory. */
%fragment("RelayClearDeleted", "header") %{
SWIGINTERN void RelayClearDeleted(PyObject* input) {
  SwigPyObject* wrapped = SWIG_Python_GetSwigThis(input);
  if (wrapped) wrapped->ptr = 0;
}
%}
%typemap(in, noblock=1, fragment="RelayClearDeleted") SWIGTYPE *self (void *argp = 0, int res = 0) {
  res = SWIG_ConvertPtr($input, &argp, $descriptor, $disown | 0);
  if ($input == Py_None) res = SWIG_TypeError;
  if (!SWIG_IsOK(res)) {
    %argument_fail(res, "$type", $symname, $argnum);
  }
  if (!argp) {
    SWIG_exception_fail(SWIG_ValueError, "in method '" "$symname" "', argument " "$argnum" " of type '" "$type" "': the object was deleted");
  }
  $1 = %reinterpret_cast(argp, $ltype);
  if ($disown) RelayClearDeleted($input);
}

%typemap(check) unsigned long {
  if ($1 > 0xFFFFFFFFUL) {
    SWIG_exception_fail(SWIG_OverflowError, "in method '" "$symname" "', argument " "$argnum" " of type '" "$1_type" "'");
  }
}
