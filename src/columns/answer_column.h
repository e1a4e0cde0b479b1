// Answering a whole column: every element gets the answer that the scalar
// function gives for it under the same switches (one of the six questions,
// vexlo.host for Question::kHost, or vexlo.extract's record for
// Question::kExtract), without a Python object per name.
#pragma once

#include <cstdint>

#include "columns/result_column.h"
#include "columns/string_column.h"
#include "rules/rule_tables.h"

namespace vexlo {

// Answers every element of `column`, with the result type answer_type gives
// for the request (the widths its caller chose). A null element is null in
// every result; an invalid name (not UTF-8, empty, an empty label) is null
// from the text questions and false from the predicates; an element without
// a host (or not UTF-8) is null from kHost. With request.threads > 1 the
// column is answered in that many ranges at once; the result is the same
// whatever the count. Throws std::bad_alloc when memory runs out, having
// freed all it allocated.
ResultColumn answer_column(const StringColumn& column, const ColumnRequest& request,
                           const RuleTables& tables);

// Widens `request` to what the answers of `column` need, judged from a bound
// on them before any is made, so that every chunk of a column can be given
// the same type: 64-bit text offsets when the answers might pass 2 GiB, and
// for privateparts 64-bit list offsets when its items might pass 2**31.
// (That names which came as large_string give large_string answers is the
// caller's to set.)
void widen_for(const StringColumn& column, const RuleTables& tables, ColumnRequest& request);

// The smallest column that is answered on every core by default; a smaller
// one costs less on one thread than the threads cost to start.
inline constexpr std::int64_t kColumnNamesForThreads = 65536;

// The threads to use by default for a column of `names` elements: every
// usable core for kColumnNamesForThreads names or more, one below.
unsigned default_thread_count(std::int64_t names) noexcept;

}  // namespace vexlo
