#include "python/module_setup.h"

#include <string>

#include "python/process_once.h"
#include "python/py_error.h"
#include "python/scopes.h"

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
    const Owned traceback(PyException_GetTraceback(exception));
    return "type: " + repr_of(reinterpret_cast<PyObject*>(Py_TYPE(exception))) +
           ", value: " + repr_of(exception) +
           ", traceback: " + (traceback.get() != nullptr ? repr_of(traceback.get()) : "None");
}

}  // namespace

void add_owned(PyObject* module, Owned name, Owned value) {
    PyObject* all_name = created(interned<kAll>());
    PyObject* found = nullptr;
    // The optional lookup, not a plain one whose AttributeError is then
    // matched: under memory pressure CPython 3.13.0's plain lookup can fail
    // without setting any exception, which would surface as a SystemError.
    if (checked(PyObject_GetOptionalAttr(module, all_name, &found)) == 0) {
        found = created(PyList_New(0));
        const Owned made(found);
        checked(PyObject_SetAttr(module, all_name, found));
        Py_INCREF(found);
    }
    const Owned all(found);
    if (PyList_Append(all.get(), name.get()) < 0) {
        PyError append = take_pending_exception();
        throw Fault("could not append __name__ to __all__: " + describe(append));
    }
    checked(PyObject_SetAttr(module, name.get(), value.get()));
}

PyObject* module_function(PyObject* module, PyMethodDef& record) {
    const Owned module_name(checked(PyModule_GetNameObject(module)));
    return checked(PyCMethod_New(&record, module, module_name.get(), nullptr));
}

void add_functions(PyObject* module, std::span<PyMethodDef> records) {
    for (PyMethodDef& record : records) {
        Owned function(module_function(module, record));
        Owned name(checked(PyObject_GetAttr(function.get(), created(interned<kName>()))));
        add_owned(module, std::move(name), std::move(function));
    }
}

}  // namespace vexlo::python
