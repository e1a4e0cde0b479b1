// vexlo.Rules: a set of Public Suffix List rules to answer from, either the
// list compiled into vexlo._lookup or a list file loaded at run time. Its
// methods are the six questions, with the signatures, answers and errors of
// the module functions; it is immutable, so any number of threads may share
// one. It pickles as its list's bytes.
#pragma once

#include <Python.h>

#include <string_view>

#include "rules/rule_tables.h"

namespace vexlo::python {

// The type, made ready for the process on first use; null with the
// interpreter's exception set when it cannot be.
PyTypeObject* rules_type() noexcept;

// The tables of a Rules object, or of the compiled list for None; anything
// else is a TypeError.
const RuleTables& rules_argument(PyObject* object, std::string_view parameter);

}  // namespace vexlo::python
