// The definition of vexlo._lookup and its exec step. The module keeps no
// state: the exec step only puts the six functions and LIST_CHECKSUM on the
// module object and lists them in __all__. Its definition also carries the
// process's shared services, which vexlo._columns borrows.
#include <Python.h>

#include <array>

#include "python/boundary.h"
#include "python/module_setup.h"
#include "python/process_once.h"
#include "python/py_error.h"
#include "python/questions/question_functions.h"
#include "python/scopes.h"
#include "python/shared_services.h"
#include "rules/compiled_tables.h"
#include "rules/rule_trie.h"

namespace vexlo::python {
namespace {

constexpr const char* kPanicDoc =
    "\n"
    "The exception raised when vexlo's native code, called from Python, faults.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n";

ProcessOnce panic_type_once;

PyObject* make_panic_exception_type() noexcept {
    return panic_type_once.get([] {
        return PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", kPanicDoc,
                                         PyExc_BaseException, nullptr);
    });
}

// The module functions answer from the compiled tables; `self` is the module.
struct CompiledTables {
    template <Question Q>
    [[gnu::always_inline]] static PyObject* call(PyObject*, PyObject* const* args,
                                                 Py_ssize_t nargs, PyObject* kwnames) {
        return questions::answer_call<Q, kCompiledRootEdgeCount>(compiled_tables(), args, nargs,
                                                                 kwnames);
    }
};

auto function_records = method_records<questions::kQuestions<CompiledTables>>();

constexpr SharedServices kServices = {kBuildStamp, make_panic_exception_type,
                                      &compiled_rule_tables, &compiled_list};

int module_exec(PyObject* module) noexcept {
    return exec_frame([module] {
        add_functions(module, function_records);
        Owned name(created(PyUnicode_FromStringAndSize("LIST_CHECKSUM", 13)));
        Owned checksum(created(PyUnicode_FromStringAndSize(
            LIST_CHECKSUM, static_cast<Py_ssize_t>(LIST_CHECKSUM_LENGTH))));
        add_owned(module, std::move(name), std::move(checksum));
    });
}

LookupDefinition module_definition = {
    {
        PyModuleDef_HEAD_INIT,
        "_lookup",
        "",
        0,
        nullptr,
        module_definition.slots,
        nullptr,
        nullptr,
        nullptr,
    },
    {
        {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
        {Py_mod_gil, Py_MOD_GIL_NOT_USED},
        {0, nullptr},
    },
    &kServices,
};

}  // namespace

const SharedServices& shared_services() noexcept { return kServices; }

}  // namespace vexlo::python

PyMODINIT_FUNC PyInit__lookup(void) {
    return PyModuleDef_Init(&vexlo::python::module_definition.definition);
}
