// The functions of vexlo._columns come from these files, each with a table
// of its own; the exec step adds them in this order.
#pragma once

#include <Python.h>

#include <span>

#include "python/py_error.h"

namespace vexlo::python {

std::span<PyMethodDef> column_functions();  // Arrow arrays, streams and lists
std::span<PyMethodDef> column_question_functions();  // vexlo.columns' own functions
std::span<PyMethodDef> line_functions();    // the command line's blocks of lines
std::span<PyMethodDef> host_functions();    // vexlo.host, one text at a time
std::span<PyMethodDef> extract_functions();  // vexlo.extract, one text at a time
std::span<PyMethodDef> tldextract_functions();  // vexlo.tldextract's helpers
// The base class of vexlo.tldextract.TLDExtract, added as _TLDExtractBase.
bool add_tldextract_base(PyObject* module, PyError& error);

}  // namespace vexlo::python
