// vexlo.extract: every part of the host of one URL, e-mail address or host
// name, from the compiled list. It lives in vexlo._columns beside vexlo.host,
// whose finder it asks, and beside the Rules type, whose method of the same
// name it shares its entry with.
#include <Python.h>

#include "python/columns/functions.h"
#include "python/questions/extract_question.h"
#include "python/shared_services.h"

namespace vexlo::python {

// extract(text, *, keep_ip=False, accept_unknown=True, keep_case=False)
PyObject* extract_function(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return questions::call_extract(*shared_services().compiled_tables, args, nargs, kwnames);
}

}  // namespace vexlo::python
