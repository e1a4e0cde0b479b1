// Answering a dictionary-encoded column: each entry of its dictionary is
// asked once (answer_column over the dictionary), and each row gets its
// entry's answer. Text answers stay dictionary-encoded, with indices of the
// input's own type into the distinct answers; the predicates' bits and
// privateparts' lists, which no library keeps as categories, come out plain,
// one per row.
#pragma once

#include "columns/dictionary_column.h"
#include "columns/result_column.h"
#include "rules/rule_tables.h"

namespace vexlo {

// A null row, or a row whose entry is null, is null in every result. A row
// whose entry has no answer (an invalid name, no host) is null in a text
// result too: the dictionary of answers holds no null, so that every
// consumer, reading the rows' validity alone, finds the same rows null; a
// predicate gives such a row the entry's false, as for a plain column.
// request.threads and request.large_text are those for the dictionary.
// Throws std::bad_alloc when memory runs out, having freed all it allocated.
ResultColumn answer_dictionary(const DictionaryColumn& column, const ColumnRequest& request,
                               const RuleTables& tables);

}  // namespace vexlo
