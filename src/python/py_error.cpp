#include "python/py_error.h"

#include <cstdio>
#include <utility>

#include "python/shared_services.h"

namespace vexlo::python {

PyObject* panic_exception_type() {
    PyObject* type = shared_services().panic_exception_type();
    if (type == nullptr) throw Fault("Failed to initialize new exception type.");
    return type;
}

PyError PyError::from_exception(PyObject* exception) {
    PyError error;
    error.object_ = Owned(exception);
    return error;
}

PyError PyError::with_message(PyObject* type, std::string message) {
    PyError error;
    error.type_ = type;
    error.message_ = std::move(message);
    return error;
}

PyObject* PyError::exception_object() {
    if (object_.get() != nullptr) return object_.get();
    PyObject* type = type_ != nullptr ? type_ : panic_exception_type();
    const Owned message(
        PyUnicode_FromStringAndSize(message_.data(), static_cast<Py_ssize_t>(message_.size())));
    if (message.get() != nullptr) object_ = Owned(PyObject_CallOneArg(type, message.get()));
    // The interpreter could not make the exception (memory is short): its
    // own exception is what the caller gets.
    if (object_.get() == nullptr) object_ = Owned(PyErr_GetRaisedException());
    return object_.get();
}

void PyError::raise() && {
    if (object_.get() == nullptr && type_ == nullptr) {
        // Without the PanicException class (the interpreter cannot create
        // it) the failure to create it is raised instead of ending the
        // process.
        try {
            panic_exception_type();
        } catch (const Fault&) {
            if (!PyErr_Occurred()) PyErr_NoMemory();
            return;
        }
    }
    if (exception_object() != nullptr) {
        PyErr_SetRaisedException(object_.release());
    } else if (!PyErr_Occurred()) {
        PyErr_NoMemory();
    }
}

PyError take_pending_exception() {
    PyObject* exception = PyErr_GetRaisedException();
    if (exception == nullptr) {
        return PyError::with_message(PyExc_SystemError,
                                     "attempted to fetch exception but none was set");
    }
    PyError error = PyError::from_exception(exception);  // owns it on every path below
    if (Py_TYPE(exception) != reinterpret_cast<PyTypeObject*>(panic_exception_type())) {
        return error;
    }
    std::string message = utf8_or(PyObject_Str(exception), "Unwrapped panic from Python code");
    std::fputs("--- vexlo is resuming a panic after fetching a PanicException from Python. ---\n"
               "Python stack trace below:\n",
               stderr);
    std::move(error).raise();
    PyErr_PrintEx(0);
    throw ReportedFault(std::move(message));
}

void throw_pending_exception() { throw take_pending_exception(); }

std::string utf8_or(PyObject* text, std::string_view fallback) {
    const Owned owned(text);
    Py_ssize_t size = 0;
    const char* utf8 = text != nullptr ? PyUnicode_AsUTF8AndSize(text, &size) : nullptr;
    if (utf8 == nullptr) {
        PyErr_Clear();
        return std::string(fallback);
    }
    return std::string(utf8, static_cast<std::size_t>(size));
}

void object_creation_failed() {
    if (PyObject* pending = PyErr_GetRaisedException()) {
        PyErr_SetRaisedException(pending);
        PyErr_WriteUnraisable(nullptr);
    }
    throw ReportedFault("PyObject pointer is null");
}

std::string qualified_type_name(PyTypeObject* type) {
    return utf8_or(PyType_GetQualName(type), "<failed to extract type name>");
}

std::string display_text(PyObject* object, std::string_view fallback) {
    const Owned str(PyObject_Str(object));
    const Owned bytes(str.get() != nullptr
                          ? PyUnicode_AsEncodedString(str.get(), "utf-8", "backslashreplace")
                          : nullptr);
    if (bytes.get() == nullptr) {
        PyErr_Clear();
        return std::string(fallback);
    }
    return std::string(PyBytes_AS_STRING(bytes.get()),
                       static_cast<std::size_t>(PyBytes_GET_SIZE(bytes.get())));
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
