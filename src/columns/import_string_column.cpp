#include <cstring>
#include <limits>

#include "columns/import_checks.h"

namespace vexlo {

using import_detail::bitmap_bytes;
using import_detail::format_text;
using import_detail::known_size;
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
    if (std::strcmp(format, "u") == 0) {
        column.layout_ = StringColumn::Layout::kOffsets32;
    } else if (std::strcmp(format, "U") == 0) {
        column.layout_ = StringColumn::Layout::kOffsets64;
    } else if (std::strcmp(format, "vu") == 0) {
        column.layout_ = StringColumn::Layout::kViews;
    } else {
        return ImportProblem{true, format_text("expected a string, large_string or string_view column, got "
                                  "Arrow format '%.40s' (%s)",
                                  format, describe_arrow_format(format).c_str())};
    }
    if (schema.n_children != 0) {
        return value_problem(format_text("the schema of a string column has %" PRId64
                                         " children; it has none",
                                         schema.n_children));
    }

    if (array.release == nullptr) return value_problem("the array was already released");
    const std::int64_t length = array.length;
    const std::int64_t offset = array.offset;
    if (length < 0) return value_problem(format_text("negative length %" PRId64, length));
    if (offset < 0) return value_problem(format_text("negative offset %" PRId64, offset));
    // -1 is the interface's "not computed".
    if (array.null_count < -1) {
        return value_problem(format_text("negative null_count %" PRId64, array.null_count));
    }
    if (array.null_count > length) {
        return value_problem(format_text("null_count %" PRId64 " exceeds the length %" PRId64,
                                         array.null_count, length));
    }
    // Element indexes run to offset + length, and Views are 16 bytes each.
    if (offset > std::numeric_limits<std::int64_t>::max() / 16 - length) {
        return value_problem(format_text("offset %" PRId64 " plus length %" PRId64
                                         " is out of range",
                                         offset, length));
    }
    if (array.n_children != 0) {
        return value_problem(format_text("a string array has no children, this one has %" PRId64,
                                         array.n_children));
    }
    if (array.dictionary != nullptr) return value_problem("a string array has no dictionary");
    const bool views = column.layout_ == StringColumn::Layout::kViews;
    if (views ? array.n_buffers < 3 : array.n_buffers != 3) {
        return value_problem(format_text(views ? "a string_view array has at least 3 buffers, "
                                                 "this one has %" PRId64
                                               : "a string array has 3 buffers, this one has %" PRId64,
                                         array.n_buffers));
    }
    if (array.buffers == nullptr) return value_problem("the array has no buffer list");

    const auto* validity = static_cast<const std::uint8_t*>(array.buffers[0]);
    if (validity == nullptr && array.null_count > 0) {
        return value_problem(format_text("null_count is %" PRId64 " but there is no validity bitmap",
                                         array.null_count));
    }
    if (validity != nullptr && length > 0) {
        const std::int64_t known = known_size(sizes, 0);
        const std::int64_t needed = bitmap_bytes(offset + length);
        if (known >= 0 && known < needed) {
            return value_problem(format_text("the validity bitmap holds %" PRId64
                                             " bytes, offset %" PRId64 " and length %" PRId64
                                             " need %" PRId64,
                                             known, offset, length, needed));
        }
    }
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
