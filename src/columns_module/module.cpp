// The module definition of vexlo._columns and its exec step, which adds the
// functions of every table in kFunctionTables. The module keeps no state.
#include <Python.h>

#include "columns_module/function_tables.h"

namespace vexlo::columns_module {
namespace {

PyMethodDef* const kFunctionTables[] = {
    columns_functions,
    lines_functions,
};

int module_exec(PyObject* module) noexcept {
    for (PyMethodDef* table : kFunctionTables) {
        if (PyModule_AddFunctions(module, table) < 0) return -1;
    }
    return 0;
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
}  // namespace vexlo::columns_module

PyMODINIT_FUNC PyInit__columns(void) {
    return PyModuleDef_Init(&vexlo::columns_module::module_definition);
}
