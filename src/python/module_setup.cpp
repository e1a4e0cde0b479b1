#include "python/module_setup.h"

#include <string>

#include "python/held_reference.h"
#include "python/process_once.h"

namespace vexlo::python {
namespace {

constexpr char kAll[] = "__all__";
constexpr char kName[] = "__name__";

// "type: ..., value: ..., traceback: ..." for the fault raised when __all__
// cannot grow; best effort, since memory is usually what ran out.
std::string describe(PyError& error) {
    PyObject* exception = error.exception_object();
    if (exception == nullptr) return "<no exception>";
    auto repr_of = [](PyObject* object) { return utf8_or(PyObject_Repr(object), "<unprintable>"); };
    PyObject* traceback = PyException_GetTraceback(exception);
    std::string text = "type: " + repr_of(reinterpret_cast<PyObject*>(Py_TYPE(exception))) +
                       ", value: " + repr_of(exception) +
                       ", traceback: " + (traceback != nullptr ? repr_of(traceback) : "None");
    Py_XDECREF(traceback);
    return text;
}

// Appends `name` to the module's __all__ (made on first use) and sets the
// attribute. Returns false with `error` set.
bool add_to_module(PyObject* module, PyObject* name, PyObject* value, PyError& error) {
    PyObject* all_name = created(interned<kAll>());
    PyObject* all = nullptr;
    // The optional lookup, not a plain one whose AttributeError is then
    // matched: under memory pressure CPython 3.13.0's plain lookup can fail
    // without setting any exception, which would surface as a SystemError.
    const int found = PyObject_GetOptionalAttr(module, all_name, &all);
    if (found < 0) {
        error = take_pending_exception();
        return false;
    }
    if (found == 0) {
        all = created(PyList_New(0));
        if (PyObject_SetAttr(module, all_name, all) < 0) {
            Py_DECREF(all);
            error = take_pending_exception();
            return false;
        }
    }
    if (PyList_Append(all, name) < 0) {
        Py_DECREF(all);
        PyError append = take_pending_exception();
        throw Fault("could not append __name__ to __all__: " + describe(append));
    }
    Py_DECREF(all);
    if (PyObject_SetAttr(module, name, value) < 0) {
        error = take_pending_exception();
        return false;
    }
    return true;
}

}  // namespace

bool add_owned(PyObject* module, PyObject* name, PyObject* value, PyError& error) {
    const Owned owned_name(name), owned_value(value);
    return add_to_module(module, name, value, error);
}

PyObject* module_function(PyObject* module, PyMethodDef& record, PyError& error) {
    PyObject* module_name = PyModule_GetNameObject(module);
    if (module_name == nullptr) {
        error = take_pending_exception();
        return nullptr;
    }
    PyObject* function = PyCMethod_New(&record, module, module_name, nullptr);
    Py_DECREF(module_name);
    if (function == nullptr) error = take_pending_exception();
    return function;
}

bool add_functions(PyObject* module, std::span<PyMethodDef> records, PyError& error) {
    for (PyMethodDef& record : records) {
        PyObject* function = module_function(module, record, error);
        if (function == nullptr) return false;
        PyObject* name = PyObject_GetAttr(function, created(interned<kName>()));
        if (name == nullptr) {
            Py_DECREF(function);
            error = take_pending_exception();
            return false;
        }
        if (!add_owned(module, name, function, error)) return false;
    }
    return true;
}

}  // namespace vexlo::python
