// What an exec step puts on its module: each attribute is set and its name
// appended to the module's __all__ (made by the first addition), in order.
#pragma once

#include <Python.h>

#include <span>

#include "python/py_error.h"

namespace vexlo::python {

// How every function of both modules is called: vectorcall, with keywords
// (placed and checked by extract_arguments).
inline constexpr int kCallFlags = METH_FASTCALL | METH_KEYWORDS;

// The C function behind a table record of any calling convention.
template <typename Entry>
PyCFunction as_cfunction(Entry entry) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry));
}

// A function object of `record`, bound to `module` and named after it in
// __module__; null with `error` set.
PyObject* module_function(PyObject* module, PyMethodDef& record, PyError& error);

// Makes a function object of each record, as module_function does, and adds
// it. Returns false with `error` set.
bool add_functions(PyObject* module, std::span<PyMethodDef> records, PyError& error);

// Adds `value` as the attribute `name`, taking over both references on every
// path. Returns false with `error` set.
bool add_owned(PyObject* module, PyObject* name, PyObject* value, PyError& error);

}  // namespace vexlo::python
