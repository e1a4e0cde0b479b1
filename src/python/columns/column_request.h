// The checked arguments of one call of a column function, carried from the
// function's entry through vexlo.columns' choice of container back to the
// answering functions in a PyCapsule: the question, its switches and depth,
// the threads asked for and the rules (kept alive by the capsule).
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "columns/result_column.h"
#include "python/arguments.h"
#include "rules/rule_tables.h"

namespace vexlo::python {

struct ColumnArguments {
    ColumnArguments() = default;
    ColumnArguments(const ColumnArguments&) = delete;
    ColumnArguments& operator=(const ColumnArguments&) = delete;
    ~ColumnArguments() { Py_XDECREF(rules); }

    // threads and large_text are set for each column answered.
    ColumnRequest request{Question::kPublicSuffix};
    // The caller's count, or none for the default for the column's length.
    std::optional<unsigned> threads;
    const RuleTables* tables = nullptr;
    // The Rules object the tables belong to, owned; null for the compiled list.
    PyObject* rules = nullptr;

    // The request for a column of `names` names, `large` when they came as
    // large_string.
    ColumnRequest for_column(std::int64_t names, bool large) const noexcept;
};

// Whether every keyword parameter of `signature` is one that new_request
// knows how to take.
constexpr bool takes_column_keywords(const FunctionSignature& signature) {
    constexpr std::string_view kKnown[] = {"accept_unknown", "icann_only", "keep_case", "keep_ip",
                                           "threads",        "rules",      "fields"};
    for (const KeywordParameter& parameter : signature.keyword_only) {
        bool known = false;
        for (const std::string_view name : kKnown) known = known || parameter.name == name;
        if (!known) return false;
    }
    return true;
}

// Places the arguments of a call of the column function `signature`, asking
// `question`: the column (any object; borrowed into `column`), depth where
// the signature has it, then each keyword parameter by its name, every one
// converted as the scalar functions convert theirs. Returns a new request
// capsule.
PyObject* new_request(const FunctionSignature& signature, Question question,
                      PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      PyObject*& column);

// The arguments held by the request capsule passed as `parameter`.
const ColumnArguments* request_argument(PyObject* object, std::string_view parameter);

}  // namespace vexlo::python
