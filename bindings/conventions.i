/* Binding conventions shared by the project's Python modules (_TORVANE,
 * _Kestor): standard strings as Python strings, no C++ exception ever reaching
 * Python unconverted (out_of_range raises IndexError, invalid_argument
 * ValueError, bad_alloc MemoryError), and unsigned long holding 32 bits as on the workstation
 * the scripts were written for (larger numbers raise OverflowError with the
 * usual argument text). The generated wrapper is rewritten afterwards by
 * apply_conventions.py for the parsing and message conventions. */

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

%typemap(check) unsigned long {
  if ($1 > 0xFFFFFFFFUL) {
    SWIG_exception_fail(SWIG_OverflowError, "in method '" "$symname" "', argument " "$argnum" " of type '" "$1_type" "'");
  }
}
