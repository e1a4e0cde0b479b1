// Field names handed to the private functions: the command line's row
// fields and extract's record fields, read alike.
#pragma once

#include <Python.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "python/py_error.h"
#include "python/type_errors.h"

namespace vexlo::python {

// The fields named by the strs of `names`, a tuple, in its order: each a
// name that `named` (string_view -> std::optional<Field>) knows, none
// twice. Otherwise false with `error` set for `parameter`; `known`, when
// not empty, lists the names there are for the message of an unknown one.
template <class Field, class Named>
bool read_field_names(PyObject* names, std::string_view parameter, Named named,
                      const std::string& known, std::vector<Field>& fields, PyError& error) {
    auto fail = [&](PyError problem) {
        error = annotate_argument_error(parameter, std::move(problem));
        return false;
    };
    const Py_ssize_t count = PyTuple_GET_SIZE(names);
    if (count == 0) return fail(value_error("no fields"));
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PyTuple_GET_ITEM(names, i);
        if (!PyUnicode_Check(item)) {
            return fail(type_error("field " + std::to_string(i) + " is " +
                                   qualified_type_name(Py_TYPE(item)) + ", not str"));
        }
        Py_ssize_t size = 0;
        const char* text = PyUnicode_AsUTF8AndSize(item, &size);
        if (text == nullptr) return fail(take_pending_exception());
        const std::string_view name(text, static_cast<std::size_t>(size));
        const std::optional<Field> field = named(name);
        if (!field) {
            return fail(value_error("unknown field '" + std::string(name) + "'" +
                                    (known.empty() ? "" : " (choose from " + known + ")")));
        }
        if (std::find(fields.begin(), fields.end(), *field) != fields.end()) {
            return fail(value_error("field '" + std::string(name) + "' is named twice"));
        }
        fields.push_back(*field);
    }
    return true;
}

}  // namespace vexlo::python
