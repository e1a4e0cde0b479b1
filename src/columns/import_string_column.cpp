#include <optional>
#include <string>

#include "columns/import_checks.h"

namespace vexlo {

using import_detail::format_text;
using import_detail::value_problem;

ImportResult ColumnImporter::import(const ArrowSchema& schema, const ArrowArray& array,
                                    std::span<const std::int64_t> sizes) {
    if (schema.release == nullptr) return value_problem("the schema was already released");
    const char* const format = schema.format;
    if (format == nullptr) return value_problem("the schema has no format");
    if (schema.dictionary != nullptr) {
        return ImportProblem{true, format_text("expected a string, large_string or string_view column, got a "
                                  "dictionary-encoded column (Arrow format '%.40s', %s indexes)",
                                  format, describe_arrow_format(format).c_str())};
    }
    StringColumn column;
    const std::optional<StringColumn::Layout> layout = string_layout(format);
    if (!layout) {
        return ImportProblem{true, format_text("expected a string, large_string or string_view column, got "
                                  "Arrow format '%.40s' (%s)",
                                  format, describe_arrow_format(format).c_str())};
    }
    column.layout_ = *layout;
    if (schema.n_children != 0) {
        return value_problem(format_text("the schema of a string column has %" PRId64
                                         " children; it has none",
                                         schema.n_children));
    }

    // Element indexes run to offset + length, and views are 16 bytes each.
    if (std::string fault = import_detail::header_fault(array, 16, "string"); !fault.empty()) {
        return value_problem(std::move(fault));
    }
    const std::int64_t length = array.length;
    const std::int64_t offset = array.offset;
    if (array.dictionary != nullptr) return value_problem("a string array has no dictionary");
    const bool views = column.layout_ == StringColumn::Layout::kViews;
    if (views ? array.n_buffers < 3 : array.n_buffers != 3) {
        return value_problem(format_text(views ? "a string_view array has at least 3 buffers, "
                                                 "this one has %" PRId64
                                               : "a string array has 3 buffers, this one has %" PRId64,
                                         array.n_buffers));
    }
    if (array.buffers == nullptr) return value_problem("the array has no buffer list");

    if (std::string fault = import_detail::validity_fault(array, sizes); !fault.empty()) {
        return value_problem(std::move(fault));
    }
    const auto* validity = static_cast<const std::uint8_t*>(array.buffers[0]);
    column.validity_ = length > 0 ? validity : nullptr;
    column.length_ = length;
    column.offset_ = offset;
    if (length == 0) return column;
    return views ? ColumnImporter::views(column, array, sizes)
                 : ColumnImporter::offsets(column, array, sizes);
}

ImportResult import_string_column(const ArrowSchema& schema, const ArrowArray& array,
                                  std::span<const std::int64_t> known_buffer_sizes) {
    return ColumnImporter::import(schema, array, known_buffer_sizes);
}

}  // namespace vexlo
