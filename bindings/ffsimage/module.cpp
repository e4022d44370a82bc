// _ffsimage: the C++ half of the ffsimage package. Paths and names cross as
// bytes (the package encodes and decodes them); every call releases the GIL
// while the file system works, and every failure becomes a Python exception:
// FsError an OSError of the matching subclass, bad arguments ValueError.
#include <Python.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <vector>

#include "bindings/ffsimage/image.h"

namespace py = pybind11;
using ffsimage::Image;

namespace {

PyObject* FsDecode(const std::string& text) {
  if (text.empty()) {
    Py_INCREF(Py_None);
    return Py_None;
  }
  return PyUnicode_DecodeFSDefaultAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

// OSError(errno, message, filename, None, filename2) picks the subclass of
// the error number (FileNotFoundError, FileExistsError, ...).
void RaiseOsError(const ffsimage::FsError& e) {
  PyObject* path = FsDecode(e.path);
  PyObject* path2 = FsDecode(e.path2);
  PyObject* args = (path && path2) ? Py_BuildValue("(isOOO)", e.hostErrno, e.message.c_str(), path,
                                                   Py_None, path2)
                                   : nullptr;
  if (args != nullptr) PyErr_SetObject(PyExc_OSError, args);
  Py_XDECREF(args);
  Py_XDECREF(path);
  Py_XDECREF(path2);
}

py::list BytesList(const std::vector<std::string>& items) {
  py::list out;
  for (const std::string& s : items) out.append(py::bytes(s));
  return out;
}

py::tuple StatTuple(const ffsimage::EntryStat& s) {
  return py::make_tuple(s.size, s.mode, s.serial, s.links, s.isDirectory, s.mtime);
}

using Release = py::gil_scoped_release;

}  // namespace

PYBIND11_MODULE(_ffsimage, m) {
  m.doc() = "The C++ half of ffsimage; use the ffsimage package.";

  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const ffsimage::FsError& e) {
      RaiseOsError(e);
    } catch (const ffsimage::ClosedError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });

  py::class_<Image>(m, "Image")
      .def_property_readonly("writable", &Image::Writable)
      .def_property_readonly("closed", &Image::Closed)
      .def_property_readonly("path", [](const Image& i) { return py::reinterpret_steal<py::object>(FsDecode(i.Path())); })
      .def_property_readonly("flash_type", &Image::FlashType)
      .def("listdir", [](Image& i, const std::string& p) {
        std::vector<std::string> names;
        { Release r; names = i.ListDir(p); }
        return BytesList(names);
      })
      .def("scandir", [](Image& i, const std::string& p) {
        std::vector<std::pair<std::string, ffsimage::EntryStat>> entries;
        { Release r; entries = i.ScanDir(p); }
        py::list out;
        for (const auto& e : entries) out.append(py::make_tuple(py::bytes(e.first), StatTuple(e.second)));
        return out;
      })
      .def("stat", [](Image& i, const std::string& p) {
        ffsimage::EntryStat s;
        { Release r; s = i.Stat(p); }
        return StatTuple(s);
      })
      .def("exists", &Image::Exists, py::call_guard<Release>())
      .def("read_bytes", [](Image& i, const std::string& p) {
        std::string data;
        { Release r; data = i.ReadFile(p); }
        return py::bytes(data);
      })
      .def("write_bytes", &Image::WriteFile, py::call_guard<Release>())
      .def("mkdir", &Image::Mkdir, py::call_guard<Release>())
      .def("remove", &Image::Remove, py::call_guard<Release>())
      .def("rmdir", &Image::Rmdir, py::call_guard<Release>())
      .def("rename", &Image::Rename, py::call_guard<Release>())
      .def("sync", &Image::Sync, py::call_guard<Release>())
      .def("check", [](Image& i) {
        std::vector<std::string> lines;
        { Release r; lines = i.Check(); }
        return BytesList(lines);
      })
      .def("info", &Image::Info, py::call_guard<Release>())
      .def("copy_in", [](Image& i, const std::string& host, const std::string& dir) {
        std::vector<std::string> lines;
        { Release r; lines = i.CopyIn(host, dir); }
        return BytesList(lines);
      })
      .def("copy_out", [](Image& i, const std::string& dir, const std::string& host) {
        std::vector<std::string> lines;
        { Release r; lines = i.CopyOut(dir, host); }
        return BytesList(lines);
      })
      .def("open_file", &Image::OpenFile, py::call_guard<Release>())
      .def("read", [](Image& i, int handle, std::int64_t count) {
        std::string data;
        { Release r; data = i.Read(handle, count); }
        return py::bytes(data);
      })
      .def("write", [](Image& i, int handle, py::buffer data) {
        py::buffer_info b = data.request();
        if (b.ndim != 1 || b.itemsize != 1 || (b.strides.size() == 1 && b.strides[0] != 1))
          throw ffsimage::ArgumentError("write takes a contiguous bytes-like object");
        const char* bytes = static_cast<const char*>(b.ptr);
        const std::size_t count = static_cast<std::size_t>(b.size);
        Release r;  // the buffer stays held by `b` meanwhile
        return i.Write(handle, bytes, count);
      })
      .def("seek", &Image::Seek, py::call_guard<Release>())
      .def("tell", &Image::Tell, py::call_guard<Release>())
      .def("truncate", &Image::Truncate, py::call_guard<Release>())
      .def("close_file", &Image::CloseFile, py::call_guard<Release>())
      .def("handle_open", &Image::HandleOpen, py::call_guard<Release>())
      .def("close", &Image::Close, py::call_guard<Release>());

  m.def("create", [](const std::string& path, std::uint64_t size, const std::string& type) {
    Release r;
    return Image::Create(path, size, type);
  });
  m.def("open", [](const std::string& path, const std::string& type, bool writable) {
    Release r;
    return Image::Open(path, type, writable);
  });
}
