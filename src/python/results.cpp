#include "python/results.h"

#include <cstring>

namespace vexlo::python {

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

PyObject* str_result(std::string_view text, bool ascii) { return created(new_str(text, ascii)); }

}  // namespace vexlo::python
