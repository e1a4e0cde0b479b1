#include "columns/arrow_import.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

namespace vexlo {

// Builds the columns field by field; a friend of StringColumn and
// DictionaryColumn. Each check returns the problem, or none.
class ArrowImport {
public:
    ArrowImport(const NameColumn& column, std::span<const std::int64_t> sizes) noexcept
        : column_(column), sizes_(sizes) {}

    ColumnImport import(const ArrowArray& array);

private:
    using Problem = std::optional<ImportProblem>;

    template <class... Args>
    static std::string format(const char* text, Args... args) {
        char buffer[256];
        std::snprintf(buffer, sizeof buffer, text, args...);
        return buffer;
    }
    static ImportProblem string_problem(std::string message) {
        return {false, "invalid Arrow string array: " + std::move(message)};
    }
    static ImportProblem dictionary_problem(std::string message) {
        return {false, "invalid Arrow dictionary array: " + std::move(message)};
    }
    // The size of buffer `index` if the producer told it, else -1.
    static std::int64_t known(std::span<const std::int64_t> sizes, std::int64_t index) {
        return index < static_cast<std::int64_t>(sizes.size()) ? sizes[static_cast<std::size_t>(index)]
                                                                : -1;
    }

    std::optional<std::string> header_fault(const ArrowArray& array, std::int64_t slot_bytes,
                                            const char* what) const;
    std::optional<std::string> validity_fault(const ArrowArray& array,
                                              std::span<const std::int64_t> sizes) const;
    std::variant<StringColumn, ImportProblem> strings(const ArrowArray& array,
                                                      std::span<const std::int64_t> sizes) const;
    Problem offsets(StringColumn& column, const ArrowArray& array,
                    std::span<const std::int64_t> sizes) const;
    Problem views(StringColumn& column, const ArrowArray& array,
                  std::span<const std::int64_t> sizes) const;
    ColumnImport dictionary(const ArrowArray& array) const;

    const NameColumn& column_;
    std::span<const std::int64_t> sizes_;
};

namespace {

// The first index in (begin, end] whose offset is below the one before it,
// or end + 1 when they never decrease. Nearly every column is sound: it is
// read through once without stopping (a loop the compiler can vectorise),
// and searched only when it is not.
template <class Offset>
std::int64_t first_decrease(const void* buffer, std::int64_t begin, std::int64_t end) {
    const Offset* const offsets = static_cast<const Offset*>(buffer);
    bool decreases = false;
    for (std::int64_t i = begin + 1; i <= end; ++i) decreases |= offsets[i] < offsets[i - 1];
    if (!decreases) return end + 1;
    std::int64_t i = begin + 1;
    while (offsets[i] >= offsets[i - 1]) ++i;
    return i;
}

// The first row of [0, length), not null, whose index is not below `values`;
// length when there is none. The rows are read through once without a
// branch, and the nulls are looked at only when some index, perhaps that of
// a null row, lies outside. A negative index, converted to 64 bits unsigned,
// lies outside too.
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

// The layout of the Arrow string format `format` ("u", "U" or "vu"); none
// for any other format, or none at all.
std::optional<StringColumn::Layout> string_layout(const char* format) noexcept {
    if (format == nullptr) return std::nullopt;
    if (std::strcmp(format, "u") == 0) return StringColumn::Layout::kOffsets32;
    if (std::strcmp(format, "U") == 0) return StringColumn::Layout::kOffsets64;
    if (std::strcmp(format, "vu") == 0) return StringColumn::Layout::kViews;
    return std::nullopt;
}

// Words for an Arrow format, as type problems name it: "int32" for "i",
// "binary" for "z", "unknown type" for one not known here.
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
        if (std::strncmp(format, name.format, std::strlen(name.format)) == 0) return name.words;
    }
    return "unknown type";
}

// "int64", "a dictionary of int64 values", for a column that holds no names.
std::string described(const ArrowSchema& schema) {
    if (schema.dictionary == nullptr) return describe_arrow_format(schema.format);
    if (!index_type_of(schema.format != nullptr ? schema.format : "")) {
        return "a dictionary-encoded column with " + describe_arrow_format(schema.format) +
               " indices";
    }
    const ArrowSchema& values = *schema.dictionary;
    if (values.dictionary != nullptr) return "a dictionary of dictionary-encoded values";
    return "a dictionary of " + describe_arrow_format(values.format) + " values";
}

// The names of `schema` itself: none when it is of another type.
std::optional<std::variant<NameColumn, ImportProblem>> names_of(const ArrowSchema& schema,
                                                                bool in_table) {
    const bool encoded = schema.dictionary != nullptr;
    const auto problem = [&](std::string what) -> std::variant<NameColumn, ImportProblem> {
        return ImportProblem{false, std::string("invalid Arrow ") +
                                        (encoded ? "dictionary" : "string") + " array: " + what};
    };
    const auto children = [&](std::int64_t count) {
        return problem("the schema of a " +
                       std::string(encoded ? "dictionary-encoded" : "string") + " column has " +
                       std::to_string(count) + " children; it has none");
    };
    if (schema.release == nullptr) return problem("the schema was already released");
    if (!encoded) {
        const std::optional<StringColumn::Layout> layout = string_layout(schema.format);
        if (!layout) return std::nullopt;
        if (schema.n_children != 0) return children(schema.n_children);
        return NameColumn{in_table, *layout, std::nullopt};
    }
    const std::optional<IndexType> index = index_type_of(schema.format != nullptr ? schema.format : "");
    const ArrowSchema& values = *schema.dictionary;
    const std::optional<StringColumn::Layout> layout = string_layout(values.format);
    if (!index || values.dictionary != nullptr || !layout) return std::nullopt;
    if (values.release == nullptr) return problem("its dictionary's schema was released");
    if (schema.n_children != 0) return children(schema.n_children);
    if (values.n_children != 0) {
        return problem("its dictionary is an invalid Arrow string array: the schema of a string "
                       "column has " + std::to_string(values.n_children) + " children; it has none");
    }
    return NameColumn{in_table, *layout, index};
}

}  // namespace

std::optional<std::string> ArrowImport::header_fault(const ArrowArray& array,
                                                     std::int64_t slot_bytes, const char* what) const {
    if (array.release == nullptr) return "the array was already released";
    const std::int64_t length = array.length;
    const std::int64_t offset = array.offset;
    if (length < 0) return format("negative length %" PRId64, length);
    if (offset < 0) return format("negative offset %" PRId64, offset);
    // -1 is the interface's "not computed".
    if (array.null_count < -1) return format("negative null_count %" PRId64, array.null_count);
    if (array.null_count > length) {
        return format("null_count %" PRId64 " exceeds the length %" PRId64, array.null_count, length);
    }
    if (offset > std::numeric_limits<std::int64_t>::max() / slot_bytes - length) {
        return format("offset %" PRId64 " plus length %" PRId64 " is out of range", offset, length);
    }
    if (array.n_children != 0) {
        return format("a %s array has no children, this one has %" PRId64, what, array.n_children);
    }
    return std::nullopt;
}

// The validity bitmap, buffer 0: there when null_count says there are
// nulls, and as large as the rows need when its size is known.
std::optional<std::string> ArrowImport::validity_fault(const ArrowArray& array,
                                                       std::span<const std::int64_t> sizes) const {
    if (array.buffers == nullptr) return "the array has no buffer list";
    if (array.buffers[0] == nullptr) {
        if (array.null_count <= 0) return std::nullopt;
        return format("null_count is %" PRId64 " but there is no validity bitmap", array.null_count);
    }
    const std::int64_t bits = array.offset + array.length;
    const std::int64_t needed = bits / 8 + (bits % 8 != 0);
    const std::int64_t told = known(sizes, 0);
    if (array.length > 0 && told >= 0 && told < needed) {
        return format("the validity bitmap holds %" PRId64 " bytes, offset %" PRId64
                      " and length %" PRId64 " need %" PRId64,
                      told, array.offset, array.length, needed);
    }
    return std::nullopt;
}

std::variant<StringColumn, ImportProblem> ArrowImport::strings(
    const ArrowArray& array, std::span<const std::int64_t> sizes) const {
    // Element indexes run to offset + length, and views are 16 bytes each.
    if (auto fault = header_fault(array, 16, "string")) return string_problem(*fault);
    if (array.dictionary != nullptr) return string_problem("a string array has no dictionary");
    StringColumn column;
    column.layout_ = column_.layout;
    const bool views = column.layout_ == StringColumn::Layout::kViews;
    if (views ? array.n_buffers < 3 : array.n_buffers != 3) {
        return string_problem(format(views ? "a string_view array has at least 3 buffers, "
                                             "this one has %" PRId64
                                           : "a string array has 3 buffers, this one has %" PRId64,
                                     array.n_buffers));
    }
    if (auto fault = validity_fault(array, sizes)) return string_problem(*fault);
    column.length_ = array.length;
    column.offset_ = array.offset;
    column.validity_ = array.length > 0 ? static_cast<const std::uint8_t*>(array.buffers[0]) : nullptr;
    if (array.length == 0) return column;
    if (Problem problem = views ? this->views(column, array, sizes) : offsets(column, array, sizes)) {
        return std::move(*problem);
    }
    return column;
}

// "u" and "U": the offsets never decrease and stay within the data.
ArrowImport::Problem ArrowImport::offsets(StringColumn& column, const ArrowArray& array,
                                          std::span<const std::int64_t> sizes) const {
    const std::int64_t offset = column.offset_;
    const std::int64_t end = offset + column.length_;
    const bool wide = column.layout_ == StringColumn::Layout::kOffsets64;
    const void* offsets = array.buffers[1];
    const char* data = static_cast<const char*>(array.buffers[2]);
    if (offsets == nullptr) return string_problem("the offsets buffer is missing");
    const std::int64_t width = wide ? 8 : 4;
    const std::int64_t told_offsets = known(sizes, 1);
    if (told_offsets >= 0 && told_offsets / width < end + 1) {
        return string_problem(format("the offsets buffer holds %" PRId64 " bytes, offset %" PRId64
                                     " and length %" PRId64 " need %" PRId64,
                                     told_offsets, offset, column.length_, (end + 1) * width));
    }
    const auto read = [&](std::int64_t i) -> std::int64_t {
        return wide ? static_cast<const std::int64_t*>(offsets)[i]
                    : static_cast<const std::int32_t*>(offsets)[i];
    };
    const std::int64_t first = read(offset);
    if (first < 0) {
        return string_problem(format("offset %" PRId64 " at index %" PRId64 " is negative", first, offset));
    }
    // One loop per width: the width is not asked again for every offset.
    const std::int64_t decrease = wide ? first_decrease<std::int64_t>(offsets, offset, end)
                                       : first_decrease<std::int32_t>(offsets, offset, end);
    if (decrease <= end) {
        return string_problem(format("offsets decrease at index %" PRId64 " (%" PRId64 " then %" PRId64 ")",
                                     decrease, read(decrease - 1), read(decrease)));
    }
    const std::int64_t last = read(end);
    const std::int64_t told_data = known(sizes, 2);
    if (told_data >= 0 && last > told_data) {
        return string_problem(format("offsets reach byte %" PRId64 " but the data buffer holds %" PRId64
                                     " bytes",
                                     last, told_data));
    }
    if (data == nullptr && last > first) return string_problem("the data buffer is missing");
    column.offsets_ = offsets;
    column.data_ = data;
    column.text_bytes_ = static_cast<std::uint64_t>(last - first);
    return std::nullopt;
}

// "vu": every view of an element that is not null lies within its buffer:
// the views, then the variadic data buffers, then the buffer of their sizes.
ArrowImport::Problem ArrowImport::views(StringColumn& column, const ArrowArray& array,
                                        std::span<const std::int64_t> sizes) const {
    const std::int64_t offset = column.offset_;
    const std::int64_t end = offset + column.length_;
    const std::int64_t variadic = array.n_buffers - 3;
    const auto* view_bytes = static_cast<const unsigned char*>(array.buffers[1]);
    if (view_bytes == nullptr) return string_problem("the views buffer is missing");
    const std::int64_t told_views = known(sizes, 1);
    if (told_views >= 0 && told_views / 16 < end) {
        return string_problem(format("the views buffer holds %" PRId64 " bytes, offset %" PRId64
                                     " and length %" PRId64 " need %" PRId64,
                                     told_views, offset, column.length_, end * 16));
    }
    const auto* variadic_sizes = static_cast<const std::int64_t*>(array.buffers[array.n_buffers - 1]);
    if (variadic > 0 && variadic_sizes == nullptr) {
        return string_problem("the buffer of variadic buffer sizes is missing");
    }
    const std::int64_t told_variadic_sizes = known(sizes, array.n_buffers - 1);
    if (told_variadic_sizes >= 0 && told_variadic_sizes / 8 < variadic) {
        return string_problem(format("the buffer of variadic buffer sizes holds %" PRId64
                                     " bytes, %" PRId64 " buffers need %" PRId64,
                                     told_variadic_sizes, variadic, variadic * 8));
    }
    for (std::int64_t b = 0; b < variadic; ++b) {
        if (variadic_sizes[b] < 0) {
            return string_problem(format("variadic buffer %" PRId64 " has negative size %" PRId64, b,
                                         variadic_sizes[b]));
        }
        const std::int64_t told = known(sizes, 2 + b);
        if (told >= 0 && told < variadic_sizes[b]) {
            return string_problem(format("variadic buffer %" PRId64 " holds %" PRId64
                                         " bytes, not the %" PRId64 " its size says",
                                         b, told, variadic_sizes[b]));
        }
    }
    std::uint64_t total = 0;
    for (std::int64_t i = offset; i < end; ++i) {
        if (column.is_null(i - offset)) continue;  // a null slot's view is never read
        const unsigned char* view = view_bytes + i * 16;
        std::int32_t size, buffer, start;
        std::memcpy(&size, view, 4);
        if (size < 0) {
            return string_problem(format("the view at index %" PRId64 " has negative length %d", i,
                                         static_cast<int>(size)));
        }
        total += static_cast<std::uint32_t>(size);
        if (size <= 12) continue;
        std::memcpy(&buffer, view + 8, 4);
        std::memcpy(&start, view + 12, 4);
        if (buffer < 0 || buffer >= variadic) {
            return string_problem(format("the view at index %" PRId64 " names data buffer %d of %" PRId64,
                                         i, static_cast<int>(buffer), variadic));
        }
        if (start < 0 || std::int64_t{start} + size > variadic_sizes[buffer]) {
            return string_problem(format("the view at index %" PRId64 " (bytes %d to %" PRId64
                                         ") lies outside data buffer %d of %" PRId64 " bytes",
                                         i, static_cast<int>(start), std::int64_t{start} + size,
                                         static_cast<int>(buffer), variadic_sizes[buffer]));
        }
        if (array.buffers[2 + buffer] == nullptr) {
            return string_problem(format("data buffer %d is missing", static_cast<int>(buffer)));
        }
    }
    column.offsets_ = view_bytes;
    column.variadic_ = array.buffers + 2;
    column.text_bytes_ = total;
    return std::nullopt;
}

// The indices, then the dictionary, checked as a string array of its own.
ColumnImport ArrowImport::dictionary(const ArrowArray& array) const {
    // Row indexes run to offset + length, and an index takes up to 8 bytes.
    if (auto fault = header_fault(array, 8, "dictionary")) return dictionary_problem(*fault);
    const std::int64_t length = array.length;
    const std::int64_t offset = array.offset;
    if (array.dictionary == nullptr) return dictionary_problem("the array has no dictionary");
    if (array.n_buffers != 2) {
        return dictionary_problem(format("a dictionary array has 2 buffers, this one has %" PRId64,
                                         array.n_buffers));
    }
    if (auto fault = validity_fault(array, sizes_)) return dictionary_problem(*fault);
    const IndexType type = *column_.dictionary;
    const void* indices = array.buffers[1];
    const auto width = static_cast<std::int64_t>(index_bytes(type));
    if (indices == nullptr && length > 0) return dictionary_problem("the indices buffer is missing");
    const std::int64_t told_indices = known(sizes_, 1);
    if (length > 0 && told_indices >= 0 && told_indices / width < offset + length) {
        return dictionary_problem(format("the indices buffer holds %" PRId64 " bytes, offset %" PRId64
                                         " and length %" PRId64 " need %" PRId64,
                                         told_indices, offset, length, (offset + length) * width));
    }
    std::variant<StringColumn, ImportProblem> values =
        strings(*array.dictionary, sizes_.size() > 2 ? sizes_.subspan(2) : std::span<const std::int64_t>());
    if (auto* problem = std::get_if<ImportProblem>(&values)) {
        problem->message = "invalid Arrow dictionary array: its dictionary is an " + problem->message;
        return std::move(*problem);
    }
    DictionaryColumn column;
    column.values_ = std::get<StringColumn>(values);
    // Distinct answers are numbered in 32 bits.
    if (column.values_.size() > std::numeric_limits<std::uint32_t>::max()) {
        return dictionary_problem(format("a dictionary of %" PRId64 " values is more than %u",
                                         column.values_.size(),
                                         std::numeric_limits<std::uint32_t>::max()));
    }
    column.index_type_ = type;
    column.length_ = length;
    column.offset_ = offset;
    column.validity_ = length > 0 ? static_cast<const std::uint8_t*>(array.buffers[0]) : nullptr;
    column.indices_ = indices;
    if (length == 0) return column;
    std::string problem;
    with_index_type(type, [&](auto type_value) {
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

ColumnImport ArrowImport::import(const ArrowArray& table) {
    // A table's array holds the column as its one child, with the table's
    // own offset and length.
    ArrowArray array = table;
    if (column_.in_table) {
        if (table.n_children != 1 || table.children == nullptr || table.children[0] == nullptr) {
            return ImportProblem{false, "the table's array does not hold its one column"};
        }
        if (table.null_count != 0 && table.n_buffers > 0 && table.buffers != nullptr &&
            table.buffers[0] != nullptr) {
            return ImportProblem{false,
                                 "the table has null rows; only its column's own elements may be null"};
        }
        array = *table.children[0];
        if (table.offset < 0 || table.length < 0 || array.offset < 0 || table.offset > array.length ||
            table.length > array.length - table.offset) {
            return ImportProblem{false, "the table's rows lie outside its column"};
        }
        array.offset += table.offset;
        array.length = table.length;
    }
    if (column_.dictionary) return dictionary(array);
    std::variant<StringColumn, ImportProblem> plain = strings(array, sizes_);
    if (auto* column = std::get_if<StringColumn>(&plain)) return *column;
    return std::get<ImportProblem>(std::move(plain));
}

std::variant<NameColumn, ImportProblem> name_column(const ArrowSchema& schema) {
    if (auto names = names_of(schema, false)) return *names;
    const std::string_view format = schema.format != nullptr ? schema.format : "";
    if (format == "+s" && schema.n_children == 1 && schema.children[0] != nullptr) {
        if (auto names = names_of(*schema.children[0], true)) return *names;
    }
    if (format == "+s") {
        return ImportProblem{true, "expected a column of names, got a table of " +
                                       std::to_string(schema.n_children) +
                                       " columns; pass its column of names alone"};
    }
    return ImportProblem{true, "expected a string, large_string or string_view column, or one "
                               "dictionary-encoded into such values, got " + described(schema)};
}

ColumnImport import_names(const NameColumn& column, const ArrowArray& array,
                          std::span<const std::int64_t> known_buffer_sizes) {
    return ArrowImport(column, known_buffer_sizes).import(array);
}

ColumnImport import_column(const ArrowSchema& schema, const ArrowArray& array,
                           std::span<const std::int64_t> known_buffer_sizes) {
    const std::variant<NameColumn, ImportProblem> column = name_column(schema);
    if (const auto* problem = std::get_if<ImportProblem>(&column)) return *problem;
    return import_names(std::get<NameColumn>(column), array, known_buffer_sizes);
}

}  // namespace vexlo
