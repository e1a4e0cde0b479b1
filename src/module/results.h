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

// `ascii`: the text is known to be ASCII (cut from an ASCII domain).
PyObject* str_result(std::string_view text, bool ascii);
PyObject* optional_str_result(const std::optional<std::string_view>& text, bool ascii);
PyObject* privateparts_result(const std::optional<PrivateParts>& parts, bool ascii);

}  // namespace vexlo::module
