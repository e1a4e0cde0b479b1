#include <cstring>

#include "columns/import_checks.h"

namespace vexlo {

using import_detail::format_text;
using import_detail::known_size;
using import_detail::value_problem;

// The views, then the variadic data buffers, then the buffer of their sizes.
ImportResult ColumnImporter::views(StringColumn column, const ArrowArray& array,
                                   std::span<const std::int64_t> sizes) {
    const std::int64_t offset = column.offset_;
    const std::int64_t length = column.length_;
    const std::int64_t end = offset + length;
    const std::int64_t variadic = array.n_buffers - 3;
    const auto* view_bytes = static_cast<const unsigned char*>(array.buffers[1]);
    if (view_bytes == nullptr) return value_problem("the views buffer is missing");
    const std::int64_t known_views = known_size(sizes, 1);
    if (known_views >= 0 && known_views / 16 < end) {
        return value_problem(format_text("the views buffer holds %" PRId64 " bytes, offset %" PRId64
                                         " and length %" PRId64 " need %" PRId64,
                                         known_views, offset, length, end * 16));
    }
    const auto* variadic_sizes = static_cast<const std::int64_t*>(array.buffers[array.n_buffers - 1]);
    if (variadic > 0 && variadic_sizes == nullptr) {
        return value_problem("the buffer of variadic buffer sizes is missing");
    }
    const std::int64_t known_variadic_sizes = known_size(sizes, array.n_buffers - 1);
    if (known_variadic_sizes >= 0 && known_variadic_sizes / 8 < variadic) {
        return value_problem(format_text("the buffer of variadic buffer sizes holds %" PRId64
                                         " bytes, %" PRId64 " buffers need %" PRId64,
                                         known_variadic_sizes, variadic, variadic * 8));
    }
    for (std::int64_t b = 0; b < variadic; ++b) {
        if (variadic_sizes[b] < 0) {
            return value_problem(format_text("variadic buffer %" PRId64 " has negative size %" PRId64,
                                             b, variadic_sizes[b]));
        }
        const std::int64_t known = known_size(sizes, 2 + b);
        if (known >= 0 && known < variadic_sizes[b]) {
            return value_problem(format_text("variadic buffer %" PRId64 " holds %" PRId64
                                             " bytes, not the %" PRId64 " its size says",
                                             b, known, variadic_sizes[b]));
        }
    }
    std::uint64_t total = 0;
    for (std::int64_t i = offset; i < end; ++i) {
        if (column.is_null(i - offset)) continue;  // a null slot's view is never read
        const unsigned char* view = view_bytes + i * 16;
        std::int32_t size, buffer, start;
        std::memcpy(&size, view, 4);
        if (size < 0) {
            return value_problem(format_text("the view at index %" PRId64 " has negative length %d",
                                             i, static_cast<int>(size)));
        }
        total += static_cast<std::uint32_t>(size);
        if (size <= 12) continue;
        std::memcpy(&buffer, view + 8, 4);
        std::memcpy(&start, view + 12, 4);
        if (buffer < 0 || buffer >= variadic) {
            return value_problem(format_text("the view at index %" PRId64
                                             " names data buffer %d of %" PRId64,
                                             i, static_cast<int>(buffer), variadic));
        }
        if (start < 0 || std::int64_t{start} + size > variadic_sizes[buffer]) {
            return value_problem(format_text("the view at index %" PRId64 " (bytes %d to %" PRId64
                                             ") lies outside data buffer %d of %" PRId64 " bytes",
                                             i, static_cast<int>(start), std::int64_t{start} + size,
                                             static_cast<int>(buffer), variadic_sizes[buffer]));
        }
        if (array.buffers[2 + buffer] == nullptr) {
            return value_problem(format_text("data buffer %d is missing", static_cast<int>(buffer)));
        }
    }
    column.offsets_ = view_bytes;
    column.variadic_ = array.buffers + 2;
    column.text_bytes_ = total;
    return column;
}

}  // namespace vexlo
