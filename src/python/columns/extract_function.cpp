// vexlo.extract: every part of the host of one URL, e-mail address or host
// name, from the compiled list. It lives in vexlo._columns beside vexlo.host,
// whose finder it asks, and beside the Rules type, whose method of the same
// name it shares its entry with.
#include <Python.h>

#include "python/columns/function_tables.h"
#include "python/module_setup.h"
#include "python/process_services.h"
#include "python/questions/extract_question.h"

namespace vexlo::python {
namespace {

// extract(text, *, keep_ip=False, accept_unknown=True, keep_case=False)
PyObject* extract_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return questions::extract_call(*process_services().compiled_tables, args, nargs, kwnames);
}

PyMethodDef function_records[] = {
    {"extract", as_cfunction(extract_entry), kCallFlags, questions::kExtractDoc},
};

}  // namespace

std::span<PyMethodDef> extract_functions() { return function_records; }

}  // namespace vexlo::python
