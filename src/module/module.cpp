// The module definition and its exec step. The module keeps no state: the
// exec step only puts the six functions and LIST_CHECKSUM on the module
// object and lists them in __all__.
#include <Python.h>

#include <string>

#include "module/boundary.h"
#include "module/functions.h"
#include "module/process_once.h"
#include "module/py_error.h"
#include "rules/rule_trie.h"

namespace vexlo::module {
namespace {

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
    PyObject* all_name = interned_all();
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

// Takes ownership of `name` and `value` on every path.
bool add_owned(PyObject* module, PyObject* name, PyObject* value, PyError& error) {
    struct Release {
        PyObject* name;
        PyObject* value;
        ~Release() {
            Py_DECREF(name);
            Py_DECREF(value);
        }
    } release{name, value};
    return add_to_module(module, name, value, error);
}

bool add_functions(PyObject* module, PyError& error) {
    for (PyMethodDef& record : function_table()) {
        PyObject* module_name = PyModule_GetNameObject(module);
        if (module_name == nullptr) {
            error = take_pending_exception();
            return false;
        }
        PyObject* function = PyCMethod_New(&record, module, module_name, nullptr);
        Py_DECREF(module_name);
        if (function == nullptr) {
            error = take_pending_exception();
            return false;
        }
        PyObject* name = PyObject_GetAttr(function, interned_name());
        if (name == nullptr) {
            Py_DECREF(function);
            error = take_pending_exception();
            return false;
        }
        if (!add_owned(module, name, function, error)) return false;
    }
    return true;
}

int module_exec(PyObject* module) noexcept {
    try {
        PyError error;
        const bool added = fault_barrier(
            [module](PyError& failure) -> PyObject* {
                if (!add_functions(module, failure)) return nullptr;
                PyObject* name = created(PyUnicode_FromStringAndSize("LIST_CHECKSUM", 13));
                PyObject* checksum = PyUnicode_FromStringAndSize(
                    LIST_CHECKSUM, static_cast<Py_ssize_t>(LIST_CHECKSUM_LENGTH));
                if (checksum == nullptr) {
                    Py_DECREF(name);
                    object_creation_failed();
                }
                if (!add_owned(module, name, checksum, failure)) return nullptr;
                return Py_None;  // borrowed marker of success, never returned to Python
            },
            error) != nullptr;
        if (added) return 0;
        std::move(error).raise();
        return -1;
    } catch (...) {
        uncaught_at_boundary();
    }
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_lookup",
    "",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace vexlo::module

PyMODINIT_FUNC PyInit__lookup(void) { return PyModuleDef_Init(&vexlo::module::module_definition); }
