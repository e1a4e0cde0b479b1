#include "python/lookup/functions.h"

#include <array>

#include "python/questions/question_functions.h"
#include "rules/compiled_tables.h"

namespace vexlo::python {
namespace {

// The module functions answer from the compiled tables; `self` is the module.
struct CompiledTables {
    template <Question Q>
    [[gnu::always_inline]] static PyObject* call(PyObject*, PyObject* const* args,
                                                 Py_ssize_t nargs, PyObject* kwnames) {
        return questions::answer_call<Q, kCompiledRootEdgeCount>(compiled_tables(), args, nargs,
                                                                 kwnames);
    }
};

std::array<PyMethodDef, 6> function_records =
    questions::records<CompiledTables, false>();

}  // namespace

std::span<PyMethodDef> lookup_functions() { return function_records; }

}  // namespace vexlo::python
