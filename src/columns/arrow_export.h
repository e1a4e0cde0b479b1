// Handing results to Arrow consumers through the C Data and C Stream
// interfaces. Every exported struct owns what it describes: its release
// callback frees all of it (an array's buffers and children, a stream's
// remaining chunks), and releasing a parent releases the children it still
// holds. On failure (std::bad_alloc) nothing is exported: the out structs are
// left untouched and the result is still the caller's.
#pragma once

#include <optional>
#include <vector>

#include "columns/arrow_abi.h"
#include "columns/result_column.h"

namespace vexlo {

// The Arrow type of a result.
struct ResultType {
    ResultColumn::Kind kind;
    // text: "U" rather than "u"; parts: items "U" rather than "u";
    // dictionary: the answers "U" rather than "u"; struct: its fields "U"
    bool wide_offsets;
    bool wide_lists;  // parts: "+L" rather than "+l"
    IndexType index_type = IndexType::kInt32;  // dictionary; struct: its encoded fields
    ExtractFields fields = {};                 // struct: its fields, each a text column
    bool encoded_fields = false;               // struct: each field dictionary-encoded

    const char* format() const noexcept;
    const char* item_format() const noexcept;  // parts' items, a dictionary's answers
    bool operator==(const ResultType&) const = default;
};

ResultType type_of(const ResultColumn& result) noexcept;
// The type answer_column gives for `request` when the text stays below 2 GiB;
// answer_dictionary, for a column of indices of type `dictionary`.
ResultType type_for(const ColumnRequest& request,
                    std::optional<IndexType> dictionary = std::nullopt) noexcept;

// Moves `result` into `out_array` and describes it in `out_schema` (nullable,
// named ""; a list's items are named "item", a struct's fields by their
// names; a dictionary not ordered).
void export_result(ResultColumn&& result, ArrowArray* out_array, ArrowSchema* out_schema);
void export_array(ResultColumn&& result, ArrowArray* out_array);
void export_schema(const ResultType& type, ArrowSchema* out_schema);

// Makes `result` of type `type`, which may only be wider (64-bit offsets
// where it has 32-bit ones).
void widen(ResultColumn& result, const ResultType& type);

// A stream of `chunks` in order, all of one type: `type`, widened to the
// widest that any chunk has. get_next moves each chunk out once, then reports
// the end; get_schema may be called any number of times.
void export_stream(std::vector<ResultColumn>&& chunks, const ResultType& type,
                   ArrowArrayStream* out_stream);

}  // namespace vexlo
