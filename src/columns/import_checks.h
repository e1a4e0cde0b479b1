// What the steps of the Arrow import share: the problem records they give
// and the layouts' own checks, each in a file of its own
// (import_string_column.cpp checks the schema, the array's header and its
// validity bitmap, then hands over to the layout's check).
#pragma once

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "columns/column_import.h"

namespace vexlo {

namespace import_detail {

template <class... Args>
std::string format_text(const char* format, Args... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

inline ImportProblem value_problem(std::string message) {
    return {false, "invalid Arrow string array: " + std::move(message)};
}

inline ImportProblem dictionary_problem(std::string message) {
    return {false, "invalid Arrow dictionary array: " + std::move(message)};
}

// The bytes a bitmap of `bits` bits takes.
inline std::int64_t bitmap_bytes(std::int64_t bits) { return bits / 8 + (bits % 8 != 0); }

// The size of buffer `index` if the producer told it, else -1.
inline std::int64_t known_size(std::span<const std::int64_t> sizes, std::int64_t index) {
    return index < static_cast<std::int64_t>(sizes.size()) ? sizes[static_cast<std::size_t>(index)]
                                                            : -1;
}

// What every array is checked for first, as `what` ("string",
// "dictionary"): not released, a length, offset and null_count that make
// sense, rows of up to `slot_bytes` bytes each whose byte offsets fit in 64
// bits, and no children. The fault's words, or empty when there is none.
std::string header_fault(const ArrowArray& array, std::int64_t slot_bytes, const char* what);

// The validity bitmap of an array whose header passed, given as buffer 0:
// there when null_count says there are nulls, and as large as its rows need
// when its size is known. The fault's words, or empty.
std::string validity_fault(const ArrowArray& array, std::span<const std::int64_t> sizes);

}  // namespace import_detail

// Builds the column field by field; a friend of StringColumn. `column` comes
// with its layout, length, offset and validity set; each check fills in the
// rest of its layout, or returns the problem.
struct ColumnImporter {
    static ImportResult import(const ArrowSchema& schema, const ArrowArray& array,
                               std::span<const std::int64_t> sizes);
    // "u" and "U": the offsets never decrease and stay within the data.
    static ImportResult offsets(StringColumn column, const ArrowArray& array,
                                std::span<const std::int64_t> sizes);
    // "vu": every view of an element that is not null lies within its buffer.
    static ImportResult views(StringColumn column, const ArrowArray& array,
                              std::span<const std::int64_t> sizes);
    // A schema with a dictionary: the indices, then the dictionary.
    static ColumnImport dictionary(const ArrowSchema& schema, const ArrowArray& array,
                                   std::span<const std::int64_t> sizes);
};

}  // namespace vexlo
