// extract over a whole column: a struct of one text column a field asked
// for, each element's record as vexlo.extract gives it (its host found,
// matched in both views only when a field asked for needs it). A null
// element is a null record; an element that is not UTF-8 has no host, so
// every field of its record is null.
#pragma once

#include <cstdint>

#include "columns/result_column.h"
#include "columns/string_column.h"
#include "rules/rule_tables.h"

namespace vexlo {

// Throws std::bad_alloc when memory runs out, having freed all it allocated.
ResultColumn answer_extract(const StringColumn& column, const ColumnRequest& request,
                            const RuleTables& tables);

// The most bytes that any one field's answers for `column` take.
std::uint64_t extract_bound(const StringColumn& column, const ColumnRequest& request,
                            const RuleTables& tables) noexcept;

}  // namespace vexlo
