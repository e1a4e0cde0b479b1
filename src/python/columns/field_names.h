// Field names handed to the private functions: the command line's row
// fields and extract's record fields, read alike.
#pragma once

#include <Python.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "python/arguments.h"

namespace vexlo::python {

// The fields named by the strs of `names`, a tuple, in its order: each a
// name that `named` (string_view -> std::optional<Field>) knows, none
// twice. Otherwise throws for `parameter`; `known`, when not empty, lists the
// names there are for the message of an unknown one.
template <class Field, class Named>
std::vector<Field> read_field_names(PyObject* names, std::string_view parameter, Named named,
                                    const std::string& known) {
    const Py_ssize_t count = PyTuple_GET_SIZE(names);
    if (count == 0) argument_error(parameter, value_error("no fields"));
    std::vector<Field> fields;
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PyTuple_GET_ITEM(names, i);
        if (!PyUnicode_Check(item)) {
            argument_error(parameter, type_error("field " + std::to_string(i) + " is " +
                                                 qualified_type_name(Py_TYPE(item)) + ", not str"));
        }
        Py_ssize_t size = 0;
        const char* text = PyUnicode_AsUTF8AndSize(item, &size);
        if (text == nullptr) argument_error(parameter, take_pending_exception());
        const std::string_view name(text, static_cast<std::size_t>(size));
        const std::optional<Field> field = named(name);
        if (!field) {
            argument_error(parameter,
                           value_error("unknown field '" + std::string(name) + "'" +
                                       (known.empty() ? "" : " (choose from " + known + ")")));
        }
        if (std::find(fields.begin(), fields.end(), *field) != fields.end()) {
            argument_error(parameter,
                           value_error("field '" + std::string(name) + "' is named twice"));
        }
        fields.push_back(*field);
    }
    return fields;
}

}  // namespace vexlo::python
