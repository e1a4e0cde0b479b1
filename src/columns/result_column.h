// The answers for a whole column, held in Arrow's own layout so that they can
// be handed to an Arrow consumer as they are (arrow_export.h), or read element
// by element to build the objects of a Python list; and their Arrow type,
// described once (ResultType).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "columns/column_memory.h"
#include "columns/index_type.h"
#include "extract/fields.h"
#include "query/answers.h"

namespace vexlo {

struct ColumnRequest {
    Question question;
    bool accept_unknown = true;
    bool icann_only = false;
    bool keep_case = false;
    std::uint64_t depth = 0;  // kSubdomain only
    unsigned threads = 1;     // 0 counts as 1
    bool keep_ip = false;     // kHost and kExtract: IP literals are answers too
    // kExtract: the record's fields asked for, in the caller's order.
    ExtractFields fields = ExtractFields::all();
    // The widths of the answers' offsets, chosen once for a whole column
    // (all of its chunks) by the caller (answer_widths): 64-bit text offsets
    // (large_string, and privateparts' items so), 64-bit list offsets.
    bool wide_offsets = false;
    bool wide_lists = false;
};

// The Arrow type of a column's answers.
struct ResultType {
    enum class Kind : std::uint8_t {
        kText,        // "u" (int32 offsets) or "U" (int64)
        kBool,        // "b", bit-packed
        kParts,       // "+l" (int32 list offsets) or "+L" (int64), of "u" or "U" items
        kDictionary,  // indices of index_type into the distinct answers, "u" or "U"
        kStruct,      // "+s": extract's record, a text (or dictionary) column a field
    };
    Kind kind = Kind::kBool;
    // Text, parts' items, a dictionary's answers, a struct's fields: "U"
    // rather than "u".
    bool wide_offsets = false;
    bool wide_lists = false;                   // parts: "+L" rather than "+l"
    IndexType index_type = IndexType::kInt32;  // dictionary; struct: its encoded fields'
    ExtractFields fields = {};                 // struct: its fields, in order
    bool encoded_fields = false;               // struct: each field dictionary-encoded

    const char* format() const noexcept;
    // A struct's field.
    ResultType field() const noexcept {
        return {encoded_fields ? Kind::kDictionary : Kind::kText, wide_offsets, false, index_type};
    }
    bool operator==(const ResultType&) const = default;
};

// The type of the answers to `request`, for names dictionary-encoded with
// indices of `dictionary` (none: plain names).
ResultType answer_type(const ColumnRequest& request, std::optional<IndexType> dictionary) noexcept;

// Offset k of 32-bit offsets, or of 64-bit ones when `wide`.
inline std::int64_t offset_at(const void* offsets, bool wide, std::int64_t k) noexcept {
    return wide ? static_cast<const std::int64_t*>(offsets)[k]
                : static_cast<const std::int32_t*>(offsets)[k];
}

// The labels of one privateparts answer: the subdomain labels, then the
// private suffix.
class PartsView {
public:
    PartsView(const void* offsets, bool wide, const char* data, std::int64_t first,
              std::int64_t count) noexcept
        : offsets_(offsets), data_(data), first_(first), count_(count), wide_(wide) {}
    std::size_t size() const noexcept { return static_cast<std::size_t>(count_); }
    std::string_view operator[](std::size_t j) const noexcept {
        const std::int64_t k = first_ + static_cast<std::int64_t>(j);
        const std::int64_t begin = offset_at(offsets_, wide_, k);
        return {data_ + begin, static_cast<std::size_t>(offset_at(offsets_, wide_, k + 1) - begin)};
    }

private:
    const void* offsets_;
    const char* data_;
    std::int64_t first_;
    std::int64_t count_;
    bool wide_;
};

struct ResultColumn {
    ResultType type;
    std::int64_t length = 0;
    std::int64_t null_count = 0;
    Buffer validity;  // bit i set: element i is not null; empty when nothing is null
    // text: length + 1 offsets; bool: the bits; parts: length + 1 list
    // offsets; dictionary: the length indices
    Buffer values;
    Buffer data;          // text: the bytes; parts: the items' bytes
    Buffer item_offsets;  // parts: item_count + 1 offsets into data
    std::int64_t item_count = 0;
    // dictionary: the distinct answers, a text column of which none is null.
    std::unique_ptr<ResultColumn> dictionary;
    // struct: one column a field, in the order of type.fields.
    std::vector<ResultColumn> children;

    bool is_null(std::int64_t i) const noexcept {
        return !validity.empty() && ((validity.as()[i >> 3] >> (i & 7)) & 1) == 0;
    }
    // kBool, any element (a null one reads false).
    bool truth(std::int64_t i) const noexcept { return (values.as()[i >> 3] >> (i & 7)) & 1; }
    // kText, a non-null element.
    std::string_view text(std::int64_t i) const noexcept {
        const std::int64_t begin = offset_at(values.as(), type.wide_offsets, i);
        const std::int64_t end = offset_at(values.as(), type.wide_offsets, i + 1);
        return {data.as<char>() + begin, static_cast<std::size_t>(end - begin)};
    }
    // kDictionary, a non-null element: the place of its answer in `dictionary`.
    std::int64_t index(std::int64_t i) const noexcept {
        return with_index_type(type.index_type, [&](auto index) {
            return static_cast<std::int64_t>(values.as<decltype(index)>()[i]);
        });
    }
    // kParts, a non-null element.
    PartsView parts(std::int64_t i) const noexcept {
        const std::int64_t first = offset_at(values.as(), type.wide_lists, i);
        const std::int64_t last = offset_at(values.as(), type.wide_lists, i + 1);
        return {item_offsets.as(), type.wide_offsets, data.as<char>(), first, last - first};
    }
};

}  // namespace vexlo
