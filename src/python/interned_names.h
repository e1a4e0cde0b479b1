// The interned names the modules look up by object, from the process's
// services. A name the interpreter cannot make is a fault, as for any object
// that had to be created.
#pragma once

#include <Python.h>

namespace vexlo::python {

PyObject* interned_all();       // "__all__"
PyObject* interned_name();      // "__name__"
PyObject* interned_add_note();  // "add_note"
PyObject* interned_answer();    // "_answer"

}  // namespace vexlo::python
