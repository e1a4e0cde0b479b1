// Taking in an Arrow array of names through the C Data Interface: its
// description checked against its buffers before any element is read, and
// viewed as a StringColumn, or a DictionaryColumn for a dictionary-encoded
// array, that borrows the array's buffers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "columns/arrow_abi.h"
#include "columns/dictionary_column.h"
#include "columns/string_column.h"

namespace vexlo {

// Why an array cannot be answered. A type problem (a column of another type)
// is a TypeError for Python callers; any other a ValueError.
struct ImportProblem {
    bool is_type_error;
    std::string message;
};

using ImportResult = std::variant<StringColumn, ImportProblem>;

// Validates `array` as described by `schema` and views it as a StringColumn;
// neither is taken over, and the column borrows the array's buffers. Every
// buffer, offset and view is checked before any element is read. A producer
// that can tell how large its buffers are passes the byte size of buffer i as
// known_buffer_sizes[i] (-1, or no entry, for unknown); what is known is
// checked too. Without sizes nothing is read beyond what the array's own
// offsets and views describe.
ImportResult import_string_column(const ArrowSchema& schema, const ArrowArray& array,
                                  std::span<const std::int64_t> known_buffer_sizes = {});

// A column of names as it came: its strings, or indices into a dictionary
// of them; or why it cannot be answered.
using ColumnImport = std::variant<StringColumn, DictionaryColumn, ImportProblem>;

// import_string_column, or for a schema with a dictionary its indices (of
// any integer type) and its dictionary of strings: for a dictionary array
// known_buffer_sizes holds the sizes of its own two buffers (validity,
// indices), then those of its dictionary's. Every index of a row that is not
// null is checked to lie inside the dictionary.
ColumnImport import_column(const ArrowSchema& schema, const ArrowArray& array,
                           std::span<const std::int64_t> known_buffer_sizes = {});

// The layout of the Arrow string format `format` ("u", "U" or "vu"); none
// for any other format, or none at all.
std::optional<StringColumn::Layout> string_layout(const char* format) noexcept;

// Words for an Arrow format string, as type errors name it: "int32" for "i",
// "binary" for "z", the format itself for one not known here.
std::string describe_arrow_format(const char* format);

}  // namespace vexlo
