// The functions of vexlo._columns, each in the file of its concern; the
// module's one method table (module.cpp) lists them with their docstrings.
#pragma once

#include <Python.h>

namespace vexlo::python {

// A vectorcall entry with keywords: (module, args, nargs, kwnames).
using Entry = PyObject*(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

// The column functions' answering side (column_functions.cpp) and the
// adding of the column functions to vexlo.columns (column_questions.cpp).
Entry answer_array, answer_chunks, answer_stream, answer_list, request_fields;
Entry add_column_functions;
// The command line's blocks of lines (line_functions.cpp).
Entry line_format, answer_lines, answer_name;
// Rules objects (rules_type.cpp).
Entry load_rules, compiled_rules;
// One text at a time: vexlo.host and vexlo.extract.
Entry host_function, extract_function;

}  // namespace vexlo::python
