// Taking in a column of names through the Arrow C Data Interface, checked
// before any element is read. The schema is checked once (name_column): a
// string, large_string or string_view column, one dictionary-encoded into
// such values with indices of any integer type, or a table of one such
// column. Then each array of the column (import_names) is checked against
// its own description and the buffer sizes its producer tells, and viewed as
// a StringColumn, or a DictionaryColumn, that borrows the array's buffers;
// neither the schema nor the array is taken over.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "columns/arrow_abi.h"
#include "columns/dictionary_column.h"
#include "columns/index_type.h"
#include "columns/string_column.h"

namespace vexlo {

// Why a column cannot be answered. A type problem (a column of another type)
// is a TypeError for Python callers; any other a ValueError.
struct ImportProblem {
    bool is_type_error;
    std::string message;
};

// Where the names of a column are, and how they are laid out.
struct NameColumn {
    bool in_table;                        // the arrays are tables (structs) of one column
    StringColumn::Layout layout;          // of the names, or of the dictionary's values
    std::optional<IndexType> dictionary;  // the indices' type of a dictionary-encoded column
    bool large() const noexcept { return layout == StringColumn::Layout::kOffsets64; }
};

// The names of one array: its strings, or indices into a dictionary of them;
// or why it cannot be answered.
using ColumnImport = std::variant<StringColumn, DictionaryColumn, ImportProblem>;

// The names of a column of type `schema`, or the type problem.
std::variant<NameColumn, ImportProblem> name_column(const ArrowSchema& schema);

// The names of one array of `column`. known_buffer_sizes[i] is the byte size
// of buffer i where its producer knows it (-1, or no entry, for unknown); a
// dictionary array's two (validity, indices) are followed by its
// dictionary's. Every buffer, offset, view and index of a row that is not
// null is checked against them and against the array's own description;
// without sizes nothing is read beyond what that description vouches for.
ColumnImport import_names(const NameColumn& column, const ArrowArray& array,
                          std::span<const std::int64_t> known_buffer_sizes = {});

// name_column, then import_names: one array of a column of type `schema`.
ColumnImport import_column(const ArrowSchema& schema, const ArrowArray& array,
                           std::span<const std::int64_t> known_buffer_sizes = {});

}  // namespace vexlo
