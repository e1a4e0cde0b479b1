// Answering a dictionary-encoded column: each entry of its dictionary is
// asked once (answer_column over the dictionary), and each row gets its
// entry's answer. Text answers stay dictionary-encoded, with indices of the
// input's own type into the distinct answers; the predicates' bits and
// privateparts' lists, which no library keeps as categories, come out plain,
// one per row.
#pragma once

#include "columns/dictionary_column.h"
#include "columns/result_column.h"

namespace vexlo {

// In two steps, for the chunks of one column, which must all have one type:
// `entries`, answer_column over the dictionary (with request.threads and the
// widths for the dictionary), then each row's answer from its entry's with
// the widths of `request`, which widen_for_rows makes enough for the rows'
// lists of labels. A null row, or a row whose entry is null, is null in
// every result. A row whose entry has no answer (an invalid name, no host)
// is null in a text result too: the dictionary of answers holds no null, so
// that every consumer, reading the rows' validity alone, finds the same rows
// null; a predicate gives such a row the entry's false, as for a plain
// column. Throws std::bad_alloc when memory runs out, having freed all it
// allocated.
void widen_for_rows(const DictionaryColumn& column, const ResultColumn& entries,
                    ColumnRequest& request);
ResultColumn spread_answers(const DictionaryColumn& column, const ResultColumn& entries,
                            const ColumnRequest& request);

}  // namespace vexlo
