// The errors about an argument's type and value, in the forms both modules
// use: the type rule "'bytes' object is not an instance of 'str'", and plain
// TypeError and ValueError records with a message.
#pragma once

#include <Python.h>

#include <string>
#include <string_view>

#include "python/py_error.h"

namespace vexlo::python {

inline PyError type_error(std::string message) {
    return PyError::with_message(PyExc_TypeError, std::move(message));
}

inline PyError value_error(std::string message) {
    return PyError::with_message(PyExc_ValueError, std::move(message));
}

// The qualified name of `type` (int, bytes, Outer.Inner), for messages.
std::string qualified_type_name(PyTypeObject* type);

// UTF-8 of str(object), with anything unencodable escaped; `fallback` when
// str() fails. For messages only.
std::string display_text(PyObject* object, std::string_view fallback);

// The TypeError for an object that is not of the type named `target`:
// "'int' object is not an instance of 'str'", or "'None' is not ..." for None.
PyError not_an_instance(PyObject* object, std::string_view target);

}  // namespace vexlo::python
