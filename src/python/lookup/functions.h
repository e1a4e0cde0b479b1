// The six lookup functions: their table records, in the order in which the
// module adds them.
#pragma once

#include <Python.h>

#include <span>

namespace vexlo::python {

std::span<PyMethodDef> lookup_functions();

}  // namespace vexlo::python
