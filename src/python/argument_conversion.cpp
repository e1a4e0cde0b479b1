#include "python/argument_conversion.h"

#include <string>

#include "common/thread_count.h"
#include "python/process_once.h"
#include "python/type_errors.h"

namespace vexlo::python {
namespace {

constexpr char kAddNote[] = "add_note";

bool is_numpy_bool_type(PyTypeObject* type) {
    PyObject* module = PyType_GetModuleName(type);
    if (module == nullptr) {
        PyErr_Clear();
        return false;
    }
    const bool in_numpy =
        PyUnicode_Check(module) && PyUnicode_EqualToUTF8AndSize(module, "numpy", 5);
    Py_DECREF(module);
    if (!in_numpy) return false;
    PyObject* name = PyType_GetName(type);
    if (name == nullptr) {
        PyErr_Clear();
        return false;
    }
    const bool is_bool = PyUnicode_EqualToUTF8AndSize(name, "bool_", 5) ||
                         PyUnicode_EqualToUTF8AndSize(name, "bool", 4);
    Py_DECREF(name);
    return is_bool;
}

// Calls the exception's add_note with `note`, a new reference (null faults)
// that this releases. A failing add_note is ignored: the error stays as it is.
PyError add_note(PyObject* add_note_name, PyObject* note, PyError error) {
    created(note);
    if (PyObject* exception = error.exception_object()) {
        PyObject* call[] = {exception, note};
        if (PyObject* result = PyObject_VectorcallMethod(add_note_name, call, 2, nullptr)) {
            Py_DECREF(result);
        } else {
            PyErr_Clear();
        }
    }
    Py_DECREF(note);
    return error;
}

}  // namespace

bool str_argument(PyObject* object, std::string_view parameter, std::string_view& text,
                 PyError& error) {
    if (PyUnicode_Check(object)) {
        Py_ssize_t size = 0;
        if (const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size)) {
            text = {utf8, static_cast<std::size_t>(size)};
            return true;
        }
        error = annotate_argument_error(parameter, take_pending_exception());
        return false;
    }
    error = annotate_argument_error(parameter, not_an_instance(object, "str"));
    return false;
}

bool index_value(PyObject* object, std::uint64_t& value) {
    unsigned long long number;
    if (PyLong_Check(object)) {
        number = PyLong_AsUnsignedLongLong(object);
    } else {
        PyObject* index = PyNumber_Index(object);
        if (index == nullptr) return false;
        number = PyLong_AsUnsignedLongLong(index);
        Py_DECREF(index);
    }
    if (number == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    value = number;
    return true;
}

bool bool_argument(PyObject* object, std::string_view parameter, bool& value, PyError& error) {
    if (Py_IS_TYPE(object, &PyBool_Type)) {
        value = object == Py_True;
        return true;
    }
    PyTypeObject* type = Py_TYPE(object);
    if (is_numpy_bool_type(type)) {
        if (type->tp_as_number != nullptr && type->tp_as_number->nb_bool != nullptr) {
            const int truth = type->tp_as_number->nb_bool(object);
            if (truth == 0 || truth == 1) {
                value = truth == 1;
                return true;
            }
            error = annotate_argument_error(parameter, take_pending_exception());
            return false;
        }
        error = annotate_argument_error(
            parameter, type_error("object of type '" +
                                  display_text(reinterpret_cast<PyObject*>(type), "<unknown>") +
                                  "' does not define a '__bool__' conversion"));
        return false;
    }
    error = annotate_argument_error(parameter, not_an_instance(object, "bool"));
    return false;
}

bool threads_argument(PyObject* object, std::string_view parameter,
                     std::optional<unsigned>& threads, PyError& error) {
    if (object == nullptr || object == Py_None) {
        threads.reset();
        return true;
    }
    // A bool is an int to Python, but threads=True is a mistake, not one thread.
    if (PyBool_Check(object)) {
        error = annotate_argument_error(
            parameter, type_error("'bool' object cannot be interpreted as a number of threads"));
        return false;
    }
    PyObject* index = PyNumber_Index(object);
    if (index == nullptr) {
        error = annotate_argument_error(parameter, take_pending_exception());
        return false;
    }
    int overflow = 0;
    const long long count = PyLong_AsLongLongAndOverflow(index, &overflow);
    if (count == -1 && overflow == 0 && PyErr_Occurred()) {
        Py_DECREF(index);
        error = annotate_argument_error(parameter, take_pending_exception());
        return false;
    }
    if (overflow < 0 || (overflow == 0 && count < 1)) {
        std::string message = "must be at least 1, not " + display_text(index, "<unprintable>");
        Py_DECREF(index);
        error = annotate_argument_error(parameter, value_error(std::move(message)));
        return false;
    }
    Py_DECREF(index);
    threads = overflow > 0 ? kMaxThreads : capped_threads(static_cast<std::uint64_t>(count));
    return true;
}

bool bytes_argument(PyObject* object, std::string_view parameter, std::string_view& bytes,
                   PyError& error) {
    if (!PyBytes_Check(object)) {
        error = annotate_argument_error(parameter, not_an_instance(object, "bytes"));
        return false;
    }
    bytes = {PyBytes_AS_STRING(object), static_cast<std::size_t>(PyBytes_GET_SIZE(object))};
    return true;
}

bool capsule_argument(PyObject* object, const char* capsule_name, std::string_view parameter,
                     void*& pointer, PyError& error) {
    if (!PyCapsule_IsValid(object, capsule_name)) {
        std::string message = "'";
        message += qualified_type_name(Py_TYPE(object));
        message += "' object is not a PyCapsule named '";
        message += capsule_name;
        message += "'";
        error = annotate_argument_error(parameter, type_error(std::move(message)));
        return false;
    }
    pointer = PyCapsule_GetPointer(object, capsule_name);
    return true;
}

PyError annotate_argument_error(std::string_view parameter, PyError error) {
    PyObject* add_note_name = created(interned<kAddNote>());
    return add_note(add_note_name,
                    PyUnicode_FromFormat("while processing '%.*s'",
                                         static_cast<int>(parameter.size()), parameter.data()),
                    std::move(error));
}

PyError annotate_item_error(const char* what, std::size_t index, PyError error) {
    PyObject* add_note_name = created(interned<kAddNote>());
    return add_note(add_note_name, PyUnicode_FromFormat("while processing %s %zu", what, index),
                    std::move(error));
}

}  // namespace vexlo::python
