// The SQL functions of the extension and their overloads. Each overload is a
// Form: the question it answers and where its arguments stand. A switch that
// a form leaves out takes the default of the Python function of the same
// name; `rules`, when given, names a loaded list by its checksum.
#pragma once

#include <cstdint>
#include <span>

#include "query/answers.h"

namespace vexlo::duckdb {

// An argument the form does not take.
inline constexpr std::int8_t kAbsent = -1;

struct Form {
    const char* name;  // the SQL function's name
    // kExtract: the extract record of the text (vexlo.extract).
    Question question;
    // Where each argument stands, or kAbsent; the name or text is first.
    std::int8_t depth = kAbsent;
    std::int8_t accept_unknown = kAbsent;
    std::int8_t icann_only = kAbsent;
    std::int8_t keep_case = kAbsent;
    std::int8_t keep_ip = kAbsent;
    std::int8_t rules = kAbsent;
    std::int8_t argument_count = 1;
};

// Every form of every function, function by function.
std::span<const Form> sql_forms();

}  // namespace vexlo::duckdb
