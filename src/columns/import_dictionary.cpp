#include <limits>
#include <optional>
#include <string>

#include "columns/import_checks.h"

namespace vexlo {
namespace {

using import_detail::dictionary_problem;
using import_detail::format_text;
using import_detail::known_size;

// The first row of [0, length), not null, whose index is not below `values`;
// length when there is none. The rows are read through once without a
// branch (a whole column of sound indices is checked so), and the nulls are
// looked at only when some index, perhaps that of a null row, lies outside.
// A negative index, converted to 64 bits unsigned, lies outside too.
template <class Index>
std::int64_t first_outside(const Index* indices, std::int64_t length, const std::uint8_t* validity,
                           std::int64_t offset, std::int64_t values) {
    const auto limit = static_cast<std::uint64_t>(values);
    bool outside = false;
    for (std::int64_t i = 0; i < length; ++i) outside |= static_cast<std::uint64_t>(indices[i]) >= limit;
    if (!outside) return length;
    for (std::int64_t i = 0; i < length; ++i) {
        const std::uint64_t bit = static_cast<std::uint64_t>(offset + i);
        const bool null = validity != nullptr && ((validity[bit >> 3] >> (bit & 7)) & 1) == 0;
        if (!null && static_cast<std::uint64_t>(indices[i]) >= limit) return i;
    }
    return length;
}

}  // namespace

ColumnImport ColumnImporter::dictionary(const ArrowSchema& schema, const ArrowArray& array,
                                        std::span<const std::int64_t> sizes) {
    const ArrowSchema& values_schema = *schema.dictionary;
    const std::optional<IndexType> type = index_type_of(schema.format);
    if (!type) {
        return ImportProblem{true, format_text("expected a dictionary-encoded column with integer "
                                               "indices, got indices of Arrow format '%.40s' (%s)",
                                               schema.format,
                                               describe_arrow_format(schema.format).c_str())};
    }
    if (values_schema.release == nullptr) return dictionary_problem("its dictionary's schema was released");
    if (!string_layout(values_schema.format) || values_schema.dictionary != nullptr) {
        return ImportProblem{
            true, format_text("expected a dictionary-encoded column of string, large_string or "
                              "string_view values, got values of Arrow format '%.40s' (%s)",
                              values_schema.format != nullptr ? values_schema.format : "",
                              describe_arrow_format(values_schema.format).c_str())};
    }
    if (schema.n_children != 0) {
        return dictionary_problem(format_text("the schema of a dictionary-encoded column has %" PRId64
                                              " children; it has none",
                                              schema.n_children));
    }

    // Row indexes run to offset + length, and an index takes up to 8 bytes.
    if (std::string fault = import_detail::header_fault(array, 8, "dictionary"); !fault.empty()) {
        return dictionary_problem(std::move(fault));
    }
    const std::int64_t length = array.length;
    const std::int64_t offset = array.offset;
    if (array.dictionary == nullptr) return dictionary_problem("the array has no dictionary");
    if (array.n_buffers != 2) {
        return dictionary_problem(format_text("a dictionary array has 2 buffers, this one has %" PRId64,
                                              array.n_buffers));
    }
    if (array.buffers == nullptr) return dictionary_problem("the array has no buffer list");
    const std::int64_t end = offset + length;
    if (std::string fault = import_detail::validity_fault(array, sizes); !fault.empty()) {
        return dictionary_problem(std::move(fault));
    }
    const auto* validity = static_cast<const std::uint8_t*>(array.buffers[0]);
    const void* indices = array.buffers[1];
    const auto width = static_cast<std::int64_t>(index_bytes(*type));
    if (indices == nullptr && length > 0) return dictionary_problem("the indices buffer is missing");
    const std::int64_t known_indices = known_size(sizes, 1);
    if (length > 0 && known_indices >= 0 && known_indices / width < end) {
        return dictionary_problem(format_text("the indices buffer holds %" PRId64
                                              " bytes, offset %" PRId64 " and length %" PRId64
                                              " need %" PRId64,
                                              known_indices, offset, length, end * width));
    }

    // The dictionary, checked as a string array of its own.
    const std::span<const std::int64_t> values_sizes =
        sizes.size() > 2 ? sizes.subspan(2) : std::span<const std::int64_t>();
    ImportResult values = import(values_schema, *array.dictionary, values_sizes);
    if (auto* problem = std::get_if<ImportProblem>(&values)) {
        problem->message = "invalid Arrow dictionary array: its dictionary is an " + problem->message;
        return std::move(*problem);
    }
    DictionaryColumn column;
    column.values_ = std::get<StringColumn>(values);
    // Distinct answers are numbered in 32 bits.
    if (column.values_.size() > std::numeric_limits<std::uint32_t>::max()) {
        return dictionary_problem(format_text("a dictionary of %" PRId64 " values is more than %u",
                                              column.values_.size(),
                                              std::numeric_limits<std::uint32_t>::max()));
    }
    column.index_type_ = *type;
    column.length_ = length;
    column.offset_ = offset;
    column.validity_ = length > 0 ? validity : nullptr;
    column.indices_ = indices;
    if (length == 0) return column;
    std::string problem;
    with_index_type(*type, [&](auto type_value) {
        using Index = decltype(type_value);
        const Index* const rows = static_cast<const Index*>(indices) + offset;
        const std::int64_t outside =
            first_outside(rows, length, column.validity_, offset, column.values_.size());
        if (outside == length) return;
        problem = "the index " + std::to_string(rows[outside]) + " of row " +
                  std::to_string(outside) + " lies outside the dictionary of " +
                  std::to_string(column.values_.size()) + " values";
    });
    if (!problem.empty()) return dictionary_problem(std::move(problem));
    return column;
}

ColumnImport import_column(const ArrowSchema& schema, const ArrowArray& array,
                           std::span<const std::int64_t> known_buffer_sizes) {
    if (schema.release != nullptr && schema.format != nullptr && schema.dictionary != nullptr) {
        return ColumnImporter::dictionary(schema, array, known_buffer_sizes);
    }
    ImportResult plain = ColumnImporter::import(schema, array, known_buffer_sizes);
    if (auto* column = std::get_if<StringColumn>(&plain)) return *column;
    return std::get<ImportProblem>(std::move(plain));
}

}  // namespace vexlo
