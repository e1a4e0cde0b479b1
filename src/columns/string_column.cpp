#include "columns/string_column.h"

#include <cinttypes>
#include <cstdio>
#include <limits>

namespace vexlo {

namespace {

template <class... Args>
std::string format_text(const char* format, Args... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

ImportProblem value_problem(std::string message) {
    return {false, "invalid Arrow string array: " + std::move(message)};
}

bool starts_with(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Bytes needed for `count` bits, or false when it cannot be told without overflow.
std::int64_t bitmap_bytes(std::int64_t bits) { return bits / 8 + (bits % 8 != 0); }

// The size of buffer `index` if the producer told it, else -1.
std::int64_t known_size(std::span<const std::int64_t> sizes, std::int64_t index) {
    return index < static_cast<std::int64_t>(sizes.size()) ? sizes[static_cast<std::size_t>(index)]
                                                            : -1;
}

}  // namespace

std::string describe_arrow_format(const char* format) {
    if (format == nullptr) return "no format";
    struct Name {
        const char* format;
        const char* words;
    };
    static constexpr Name kExact[] = {
        {"n", "null"},           {"b", "bool"},         {"c", "int8"},
        {"C", "uint8"},          {"s", "int16"},        {"S", "uint16"},
        {"i", "int32"},          {"I", "uint32"},       {"l", "int64"},
        {"L", "uint64"},         {"e", "float16"},      {"f", "float32"},
        {"g", "float64"},        {"z", "binary"},       {"Z", "large_binary"},
        {"vz", "binary_view"},   {"u", "string"},       {"U", "large_string"},
        {"vu", "string_view"},   {"tdD", "date32"},     {"tdm", "date64"},
        {"+l", "list"},          {"+L", "large_list"},  {"+vl", "list_view"},
        {"+vL", "large_list_view"}, {"+s", "struct"},   {"+m", "map"},
        {"+r", "run_end_encoded"},
    };
    for (const Name& name : kExact) {
        if (std::strcmp(format, name.format) == 0) return name.words;
    }
    static constexpr Name kPrefix[] = {
        {"w:", "fixed_size_binary"}, {"d:", "decimal"},   {"tt", "time"},
        {"ts", "timestamp"},         {"tD", "duration"},  {"ti", "interval"},
        {"+w:", "fixed_size_list"},  {"+ud:", "dense_union"}, {"+us:", "sparse_union"},
    };
    for (const Name& name : kPrefix) {
        if (starts_with(format, name.format)) return name.words;
    }
    return "unknown type";
}

StringColumn::StringColumn(std::span<const std::string_view> texts,
                           std::span<const std::uint8_t> nulls)
    : layout_(Layout::kTexts),
      length_(static_cast<std::int64_t>(texts.size())),
      texts_(texts.data()),
      byte_nulls_(nulls.empty() ? nullptr : nulls.data()) {
    for (const std::string_view text : texts) text_bytes_ += text.size();
}

// Builds the column field by field; a friend of StringColumn.
struct ColumnImporter {
    static ImportResult import(const ArrowSchema& schema, const ArrowArray& array,
                               std::span<const std::int64_t> sizes);
};

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
    const std::int64_t end = offset + length;

    // Validity.
    const auto* validity = static_cast<const std::uint8_t*>(array.buffers[0]);
    if (validity == nullptr && array.null_count > 0) {
        return value_problem(format_text("null_count is %" PRId64 " but there is no validity bitmap",
                                         array.null_count));
    }
    if (validity != nullptr && length > 0) {
        const std::int64_t known = known_size(sizes, 0);
        if (known >= 0 && known < bitmap_bytes(end)) {
            return value_problem(format_text("the validity bitmap holds %" PRId64
                                             " bytes, offset %" PRId64 " and length %" PRId64
                                             " need %" PRId64,
                                             known, offset, length, bitmap_bytes(end)));
        }
    }
    column.validity_ = length > 0 ? validity : nullptr;
    column.length_ = length;
    column.offset_ = offset;
    if (length == 0) return column;

    if (!views) {
        const bool wide = column.layout_ == StringColumn::Layout::kOffsets64;
        const void* offsets = array.buffers[1];
        const char* data = static_cast<const char*>(array.buffers[2]);
        if (offsets == nullptr) return value_problem("the offsets buffer is missing");
        const std::int64_t width = wide ? 8 : 4;
        const std::int64_t known_offsets = known_size(sizes, 1);
        if (known_offsets >= 0 && known_offsets / width < end + 1) {
            return value_problem(format_text("the offsets buffer holds %" PRId64
                                             " bytes, offset %" PRId64 " and length %" PRId64
                                             " need %" PRId64,
                                             known_offsets, offset, length, (end + 1) * width));
        }
        auto read = [&](std::int64_t i) -> std::int64_t {
            return wide ? static_cast<const std::int64_t*>(offsets)[i]
                        : static_cast<const std::int32_t*>(offsets)[i];
        };
        std::int64_t previous = read(offset);
        if (previous < 0) {
            return value_problem(format_text("offset %" PRId64 " at index %" PRId64 " is negative",
                                             previous, offset));
        }
        const std::int64_t first = previous;
        for (std::int64_t i = offset + 1; i <= end; ++i) {
            const std::int64_t next = read(i);
            if (next < previous) {
                return value_problem(format_text("offsets decrease at index %" PRId64 " (%" PRId64
                                                 " then %" PRId64 ")",
                                                 i, previous, next));
            }
            previous = next;
        }
        const std::int64_t known_data = known_size(sizes, 2);
        if (known_data >= 0 && previous > known_data) {
            return value_problem(format_text("offsets reach byte %" PRId64
                                             " but the data buffer holds %" PRId64 " bytes",
                                             previous, known_data));
        }
        if (data == nullptr && previous > first) return value_problem("the data buffer is missing");
        column.offsets_ = offsets;
        column.data_ = data;
        column.text_bytes_ = static_cast<std::uint64_t>(previous - first);
        return column;
    }

    // string_view: views, then the variadic data buffers, then their sizes.
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

ImportResult import_string_column(const ArrowSchema& schema, const ArrowArray& array,
                                  std::span<const std::int64_t> known_buffer_sizes) {
    return ColumnImporter::import(schema, array, known_buffer_sizes);
}

}  // namespace vexlo
