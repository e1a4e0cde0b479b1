#include <cstring>

#include "columns/column_import.h"

namespace vexlo {

std::optional<StringColumn::Layout> string_layout(const char* format) noexcept {
    if (format == nullptr) return std::nullopt;
    if (std::strcmp(format, "u") == 0) return StringColumn::Layout::kOffsets32;
    if (std::strcmp(format, "U") == 0) return StringColumn::Layout::kOffsets64;
    if (std::strcmp(format, "vu") == 0) return StringColumn::Layout::kViews;
    return std::nullopt;
}

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

}  // namespace vexlo
