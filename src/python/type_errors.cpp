#include "python/type_errors.h"

namespace vexlo::python {

std::string qualified_type_name(PyTypeObject* type) {
    return utf8_or(PyType_GetQualName(type), "<failed to extract type name>");
}

std::string display_text(PyObject* object, std::string_view fallback) {
    std::string text(fallback);
    PyObject* str = PyObject_Str(object);
    if (str == nullptr) {
        PyErr_Clear();
        return text;
    }
    if (PyObject* bytes = PyUnicode_AsEncodedString(str, "utf-8", "backslashreplace")) {
        text.assign(PyBytes_AS_STRING(bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes)));
        Py_DECREF(bytes);
    } else {
        PyErr_Clear();
    }
    Py_DECREF(str);
    return text;
}

PyError not_an_instance(PyObject* object, std::string_view target) {
    std::string message = "'";
    if (object == Py_None) {
        message += "None'";
    } else {
        message += qualified_type_name(Py_TYPE(object));
        message += "' object";
    }
    message += " is not an instance of '";
    message += target;
    message += "'";
    return type_error(std::move(message));
}

}  // namespace vexlo::python
