// The answers for a whole column, held in Arrow's own layout so that they can
// be handed to an Arrow consumer as they are (arrow_export.h), or read element
// by element to build the objects of a Python list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "columns/column_memory.h"
#include "columns/index_type.h"
#include "query/answers.h"
#include "extract/fields.h"

namespace vexlo {

struct ColumnRequest {
    Question question;
    bool accept_unknown = true;
    bool icann_only = false;
    bool keep_case = false;
    std::uint64_t depth = 0;  // kSubdomain only
    unsigned threads = 1;     // 0 counts as 1
    bool large_text = false;  // the input was large_string: text results are large_string
    bool keep_ip = false;     // kHost and kExtract: IP literals are answers too
    // kExtract: the record's fields asked for, in the caller's order.
    ExtractFields fields = ExtractFields::all();
};

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
        const std::int64_t begin = offset(k), end = offset(k + 1);
        return {data_ + begin, static_cast<std::size_t>(end - begin)};
    }

private:
    std::int64_t offset(std::int64_t k) const noexcept {
        return wide_ ? static_cast<const std::int64_t*>(offsets_)[k]
                     : static_cast<const std::int32_t*>(offsets_)[k];
    }
    const void* offsets_;
    const char* data_;
    std::int64_t first_;
    std::int64_t count_;
    bool wide_;
};

struct ResultColumn {
    enum class Kind : std::uint8_t {
        kText,        // "u" (int32 offsets) or "U" (int64)
        kBool,        // "b", bit-packed
        kParts,       // "+l" (int32 list offsets) or "+L" (int64), of "u" or "U" items
        kDictionary,  // indices of index_type into `dictionary`, a kText column
        kStruct,      // "+s": extract's record, a kText child a field
    };

    Kind kind = Kind::kBool;
    std::int64_t length = 0;
    std::int64_t null_count = 0;
    bool wide_offsets = false;  // text: "U"; parts: the items are "U"
    bool wide_lists = false;    // parts: "+L"
    Buffer validity;  // bit i set: element i is not null; empty when nothing is null
    // text: length + 1 offsets; bool: the bits; parts: length + 1 list
    // offsets; dictionary: the length indices
    Buffer values;
    Buffer data;      // text: the bytes; parts: the items' bytes
    Buffer item_offsets;  // parts: item_count + 1 offsets into data
    std::int64_t item_count = 0;
    // dictionary: the distinct answers, none of them null, and the type of
    // the indices into them (the input's own).
    std::unique_ptr<ResultColumn> dictionary;
    IndexType index_type = IndexType::kInt32;
    // struct: one text column a field, all of the same offset width
    // (wide_offsets), and the fields they are.
    std::vector<ResultColumn> children;
    ExtractFields fields;

    bool is_null(std::int64_t i) const noexcept {
        return !validity.empty() && ((validity.as()[i >> 3] >> (i & 7)) & 1) == 0;
    }
    // kBool, any element (a null one reads false).
    bool truth(std::int64_t i) const noexcept { return (values.as()[i >> 3] >> (i & 7)) & 1; }
    // kText, a non-null element.
    std::string_view text(std::int64_t i) const noexcept {
        const std::int64_t begin = offset(values, wide_offsets, i);
        const std::int64_t end = offset(values, wide_offsets, i + 1);
        return {data.as<char>() + begin, static_cast<std::size_t>(end - begin)};
    }
    // kDictionary, a non-null element: the place of its answer in `dictionary`.
    std::int64_t index(std::int64_t i) const noexcept {
        return with_index_type(index_type, [&](auto type) {
            return static_cast<std::int64_t>(values.as<decltype(type)>()[i]);
        });
    }
    // kParts, a non-null element.
    PartsView parts(std::int64_t i) const noexcept {
        const std::int64_t first = offset(values, wide_lists, i);
        const std::int64_t last = offset(values, wide_lists, i + 1);
        return {item_offsets.as(), wide_offsets, data.as<char>(), first, last - first};
    }

    static std::int64_t offset(const Buffer& buffer, bool wide, std::int64_t i) noexcept {
        if (wide) return buffer.as<std::int64_t>()[i];
        return buffer.as<std::int32_t>()[i];
    }
};

}  // namespace vexlo
