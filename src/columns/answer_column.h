// Answering a whole column: every element gets the answer that the scalar
// function gives for it under the same switches (one of the six questions,
// or vexlo.host for Question::kHost), without a Python object per name.
#pragma once

#include <cstdint>

#include "columns/result_column.h"
#include "columns/string_column.h"
#include "rules/rule_tables.h"

namespace vexlo {

// Answers every element of `column`. A null element is null in every
// result; an invalid name (not UTF-8, empty, an empty label) is null from the
// text questions and false from the predicates; an element without a host
// (or not UTF-8) is null from kHost. With request.threads > 1 the
// column is answered in that many ranges at once; the result is the same
// whatever the count. Throws std::bad_alloc when memory runs out, having
// freed all it allocated.
ResultColumn answer_column(const StringColumn& column, const ColumnRequest& request,
                           const RuleTables& tables);

// The smallest column that is answered on every core by default; a smaller
// one costs less on one thread than the threads cost to start.
inline constexpr std::int64_t kColumnNamesForThreads = 65536;

// The threads to use by default for a column of `names` elements: every
// usable core for kColumnNamesForThreads names or more, one below.
unsigned default_thread_count(std::int64_t names) noexcept;

}  // namespace vexlo
