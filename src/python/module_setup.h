// What an exec step puts on its module: each attribute is set and its name
// appended to the module's __all__ (made by the first addition), in order.
#pragma once

#include <Python.h>

#include <span>

#include "python/scopes.h"

namespace vexlo::python {

// How every function of both modules is called: vectorcall, with keywords
// (placed and checked by extract_arguments).
inline constexpr int kCallFlags = METH_FASTCALL | METH_KEYWORDS;

// The C function behind a table record of any calling convention.
template <typename Entry>
PyCFunction as_cfunction(Entry entry) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry));
}

// A new function object of `record`, bound to `module` and named after it in
// __module__.
PyObject* module_function(PyObject* module, PyMethodDef& record);

// Makes a function object of each record, as module_function does, and adds
// it.
void add_functions(PyObject* module, std::span<PyMethodDef> records);

// Adds `value` as the attribute `name`.
void add_owned(PyObject* module, Owned name, Owned value);

}  // namespace vexlo::python
