// The functions of vexlo._columns come from several files, each with a table
// of its own ending in a zeroed record; module.cpp adds every table listed
// in kFunctionTables.
#pragma once

#include <Python.h>

namespace vexlo::columns_module {

extern PyMethodDef columns_functions[];  // columns_glue.cpp: Arrow arrays, streams and lists
extern PyMethodDef lines_functions[];  // lines_glue.cpp: the command line's blocks of lines

}  // namespace vexlo::columns_module
