// The request that every column function ends with: question,
// accept_unknown, icann_only, keep_case, keep_ip, depth, threads, rules.
// vexlo.columns has checked the switches and depth as the scalar functions
// do, so only their types are checked again here.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "columns/result_column.h"
#include "python/py_error.h"
#include "rules/rule_tables.h"

namespace vexlo::python {

inline constexpr std::array<std::string_view, 8> kRequestParameters = {
    "question", "accept_unknown", "icann_only", "keep_case",
    "keep_ip",  "depth",          "threads",    "rules"};

// A function's parameters: `before`, the request's, then `after`.
template <std::size_t Before, std::size_t After = 0>
constexpr auto around_request(std::array<std::string_view, Before> before,
                              std::array<std::string_view, After> after = {}) {
    std::array<std::string_view, Before + kRequestParameters.size() + After> all{};
    std::size_t n = 0;
    for (std::string_view name : before) all[n++] = name;
    for (std::string_view name : kRequestParameters) all[n++] = name;
    for (std::string_view name : after) all[n++] = name;
    return all;
}

// The request arguments, in order. Returns false with `error` set.
// `threads` is 0 for the default; `tables` those of the rules given, or the
// compiled ones for None.
bool extract_request(std::span<PyObject* const> arguments, ColumnRequest& request,
                     unsigned& threads, const RuleTables*& tables, PyError& error);

// The threads for `names` names: the caller's count, or the default for 0.
unsigned threads_for(unsigned requested, std::int64_t names);

// A new tuple of the names of the questions, item i naming Question i: the
// functions of vexlo.columns that ask them (the six, then host). Null with the interpreter's
// exception set.
PyObject* question_names();

}  // namespace vexlo::python
