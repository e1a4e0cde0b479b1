// The definition of vexlo._lookup and its exec step. The module keeps no
// state: the exec step only puts the six functions and LIST_CHECKSUM on the
// module object and lists them in __all__. Its definition also carries the
// process's services, which vexlo._columns borrows.
#include <Python.h>

#include "python/boundary.h"
#include "python/lookup/functions.h"
#include "python/lookup/process_caches.h"
#include "python/module_setup.h"
#include "python/process_services.h"
#include "python/py_error.h"
#include "rules/rule_trie.h"

namespace vexlo::python {
namespace {

int module_exec(PyObject* module) noexcept {
    return exec_frame([module](PyError& error) {
        if (!add_functions(module, lookup_functions(), error)) return false;
        PyObject* name = created(PyUnicode_FromStringAndSize("LIST_CHECKSUM", 13));
        PyObject* checksum = PyUnicode_FromStringAndSize(
            LIST_CHECKSUM, static_cast<Py_ssize_t>(LIST_CHECKSUM_LENGTH));
        if (checksum == nullptr) {
            Py_DECREF(name);
            object_creation_failed();
        }
        return add_owned(module, name, checksum, error);
    });
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

LookupModuleDef module_definition = {
    {
        PyModuleDef_HEAD_INIT,
        kLookupModuleName,
        module_definition.doc,
        0,
        nullptr,
        module_slots,
        nullptr,
        nullptr,
        nullptr,
    },
    "",
    &kProcessCaches,
};

}  // namespace

const ProcessServices& process_services() noexcept { return kProcessCaches; }

}  // namespace vexlo::python

PyMODINIT_FUNC PyInit__lookup(void) {
    return PyModuleDef_Init(&vexlo::python::module_definition.definition);
}
