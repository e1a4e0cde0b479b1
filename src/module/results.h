// Python objects for the plain answers of the queries. A failure to create
// one is a fault: the pending exception goes to the unraisable hook.
#pragma once

#include <Python.h>

#include <optional>
#include <string_view>

#include "query/query.h"

namespace vexlo::module {

inline PyObject* bool_result(bool value) { return Py_NewRef(value ? Py_True : Py_False); }
inline PyObject* none_result() { return Py_NewRef(Py_None); }

PyObject* str_result(std::string_view text);
PyObject* optional_str_result(const std::optional<std::string_view>& text);
PyObject* privateparts_result(const std::optional<PrivateParts>& parts);

}  // namespace vexlo::module
