// The definition of vexlo._columns and its exec step, which first connects
// the module to vexlo._lookup's process services, then adds the functions of
// its tables (vexlo.host and vexlo.extract among them), the Rules and
// Extracted types and _MAX_LIST_BYTES, each listed in __all__ as in
// vexlo._lookup. The module keeps no state of its own.
#include <Python.h>

#include <span>

#include "list_file/limits.h"
#include "python/boundary.h"
#include "python/columns/function_tables.h"
#include "python/columns/rules_type.h"
#include "python/columns/sibling_services.h"
#include "python/module_setup.h"
#include "python/py_error.h"
#include "python/questions/extracted_record.h"

namespace vexlo::python {
namespace {

int module_exec(PyObject* module) noexcept {
    // Before anything that could raise a PanicException: it must be the
    // class vexlo._lookup raises.
    if (!connect_to_lookup(module)) return -1;
    return exec_frame([module](PyError& error) {
        for (const std::span<PyMethodDef> table :
             {column_functions(), column_question_functions(), line_functions(), rules_functions(),
              host_functions(), extract_functions(), tldextract_functions()}) {
            if (!add_functions(module, table, error)) return false;
        }
        if (!add_tldextract_base(module, error)) return false;
        PyTypeObject* rules = rules_type();
        if (rules == nullptr) {
            error = take_pending_exception();
            return false;
        }
        if (!add_owned(module, created(PyUnicode_FromString("Rules")),
                       Py_NewRef(reinterpret_cast<PyObject*>(rules)), error)) {
            return false;
        }
        PyTypeObject* extracted = extracted_type();
        if (extracted == nullptr) {
            error = take_pending_exception();
            return false;
        }
        if (!add_owned(module, created(PyUnicode_FromString("Extracted")),
                       Py_NewRef(reinterpret_cast<PyObject*>(extracted)), error)) {
            return false;
        }
        return add_owned(module, created(PyUnicode_FromString("_MAX_LIST_BYTES")),
                         created(PyLong_FromSize_t(list_file::kMaxFileBytes)), error);
    });
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_columns",
    "Public Suffix List answers for many names at once.",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace vexlo::python

PyMODINIT_FUNC PyInit__columns(void) {
    return PyModuleDef_Init(&vexlo::python::module_definition);
}
