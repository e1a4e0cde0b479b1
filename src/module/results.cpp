#include "module/results.h"

#include <cstring>

#include "module/py_error.h"

namespace vexlo::module {

PyObject* str_result(std::string_view text) {
    return created(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

PyObject* optional_str_result(const std::optional<std::string_view>& text) {
    return text ? str_result(*text) : none_result();
}

PyObject* privateparts_result(const std::optional<PrivateParts>& parts) {
    if (!parts) return none_result();
    const auto items = static_cast<Py_ssize_t>(parts->subdomain_count + 1);
    PyObject* tuple = created(PyTuple_New(items));
    const char* label = parts->subdomains.data();
    const char* const end = label + parts->subdomains.size();
    for (Py_ssize_t i = 0; i < items; ++i) {
        std::string_view text;
        if (i + 1 == items) {
            text = parts->private_suffix;
        } else {
            const void* dot = std::memchr(label, '.', static_cast<std::size_t>(end - label));
            const char* label_end = dot != nullptr ? static_cast<const char*>(dot) : end;
            text = {label, static_cast<std::size_t>(label_end - label)};
            label = label_end + 1;
        }
        PyObject* item = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
        if (item == nullptr) {
            // Release the partly filled tuple before reporting, so the
            // pending exception is the creation's own.
            PyObject* pending = PyErr_GetRaisedException();
            Py_DECREF(tuple);
            PyErr_SetRaisedException(pending);
            object_creation_failed();
        }
        PyTuple_SET_ITEM(tuple, i, item);
    }
    return tuple;
}

}  // namespace vexlo::module
