#include "python/interned_names.h"

#include "python/process_services.h"
#include "python/py_error.h"

namespace vexlo::python {

PyObject* interned_all() { return created(process_services().interned(InternedName::kAll)); }

PyObject* interned_name() { return created(process_services().interned(InternedName::kName)); }

PyObject* interned_add_note() {
    return created(process_services().interned(InternedName::kAddNote));
}

PyObject* interned_answer() { return created(process_services().interned(InternedName::kAnswer)); }

}  // namespace vexlo::python
