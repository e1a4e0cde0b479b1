// Answering one call of a column function: its column, in the kind of
// container it came in. Names are answered without the interpreter lock.
#pragma once

#include <Python.h>

#include <optional>

#include "columns/result_column.h"
#include "rules/rule_tables.h"

namespace vexlo::python {

// The checked arguments of one call of a column function.
struct ColumnCall {
    PyObject* column;  // borrowed from the call's arguments
    // The question, its switches, depth and fields; the threads and the
    // offsets' width are set for each column answered.
    ColumnRequest request;
    // The caller's count, or none for the default for the column's length.
    std::optional<unsigned> threads;
    // The rules' tables; the Rules object is an argument of the call.
    const RuleTables* tables;
};

// The answers for call.column. A list or a tuple of str and None gives a
// list; anything else goes to `module`._column_source (vexlo/columns.py),
// which says what to read it as (an Arrow array, the chunks of one column, a
// stream, or an iterable of str and None) and how to put the answers back
// into the kind of container it came in.
PyObject* answer_column_call(PyObject* module, const ColumnCall& call);

}  // namespace vexlo::python
