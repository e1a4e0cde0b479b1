// The module's six functions: their table records, in the order in which the
// module adds them.
#pragma once

#include <Python.h>

#include <span>

namespace vexlo::module {

std::span<PyMethodDef> function_table();

}  // namespace vexlo::module
