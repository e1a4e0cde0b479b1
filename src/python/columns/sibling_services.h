// vexlo._columns uses the process services of its sibling vexlo._lookup, so
// that both raise the one PanicException class and share the interned names.
#pragma once

#include <Python.h>

namespace vexlo::python {

// Imports the sibling (the module `_lookup` of this module's own package),
// checks that its definition is vexlo._lookup's from this build, and from
// then on process_services() is that module's table. Returns false with an
// exception set: the import's own, or an ImportError. Uses nothing that
// needs the services, and throws nothing.
bool connect_to_lookup(PyObject* module) noexcept;

}  // namespace vexlo::python
