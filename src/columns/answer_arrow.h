// Answering a column that came through the Arrow C interfaces, in one way
// whatever form it came in: one array, the chunks of one column, or a stream
// are all a schema and its arrays (an array is a column of one chunk, a
// stream's chunks are read to its end).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "columns/arrow_owned.h"
#include "columns/result_column.h"
#include "rules/rule_tables.h"

namespace vexlo {

// A column as its producer handed it over: a stream, or a schema and its
// arrays, each with the byte sizes of its buffers where the producer knows
// them (an empty list: none known). It releases what it holds, once, when it
// goes: where its owner chooses (the Python glue, with the interpreter lock,
// which a producer's release callback may need).
struct ArrowColumn {
    OwnedStream stream;
    OwnedSchema schema;
    std::vector<OwnedArray> arrays;
    std::vector<std::vector<std::int64_t>> sizes;
};

// Why a column cannot be answered, and the Python exception it is.
struct ColumnError {
    enum class Kind { kType, kValue, kStream, kStreamMemory } kind;
    std::string message;
};

// One chunk of answers for each array, all of `type`.
struct ArrowAnswers {
    std::vector<ResultColumn> chunks;
    ResultType type;
};

// Reads the stream, if there is one, to its end (into `column`); checks the
// column's type, then every array, before any name is read; then answers
// every array with the threads the whole column's length is given
// (request.threads, or the default for it when 0) and one type for all,
// chosen from a bound on the answers of every array. Throws ColumnError, or
// std::bad_alloc having freed all it allocated.
ArrowAnswers answer_arrow(ArrowColumn& column, ColumnRequest request, const RuleTables& tables);

}  // namespace vexlo
