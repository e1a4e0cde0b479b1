#include "module/results.h"

#include <cstring>

#include "common/dots.h"
#include "module/py_error.h"

namespace vexlo::module {
namespace {

// A new str holding `text`, or null with the interpreter's exception set.
// ASCII text of two or more characters is copied into a str made for it,
// skipping the UTF-8 decoder; anything else goes through
// PyUnicode_FromStringAndSize, which also hands out the interpreter's shared
// one-character strings.
PyObject* new_str(std::string_view text, bool ascii) {
    if (ascii && text.size() > 1) {
        PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127);
        if (str != nullptr) std::memcpy(PyUnicode_DATA(str), text.data(), text.size());
        return str;
    }
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

}  // namespace

PyObject* str_result(std::string_view text, bool ascii) { return created(new_str(text, ascii)); }

PyObject* privateparts_result(const std::optional<PrivateParts>& parts, bool ascii) {
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
            const char* const label_end = next_dot(parts->subdomains.data(), label, end);
            text = {label, static_cast<std::size_t>(label_end - label)};
            label = label_end + 1;
        }
        PyObject* item = new_str(text, ascii);
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
