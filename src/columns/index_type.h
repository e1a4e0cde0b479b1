// The integer types of a dictionary-encoded column's indices, as Arrow names
// them, and picking the C++ type of one for a whole column's loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vexlo {

// The integer types Arrow allows as indices, in the order of their formats
// "c", "C", "s", "S", "i", "I", "l", "L".
enum class IndexType : std::uint8_t { kInt8, kUInt8, kInt16, kUInt16, kInt32, kUInt32, kInt64, kUInt64 };

inline const char* index_format(IndexType type) noexcept {
    static constexpr const char* kFormats[] = {"c", "C", "s", "S", "i", "I", "l", "L"};
    return kFormats[static_cast<unsigned>(type)];
}

// The index type of an Arrow format, if it is one.
inline std::optional<IndexType> index_type_of(std::string_view format) noexcept {
    static constexpr std::string_view kFormats = "cCsSiIlL";
    if (format.size() != 1 || kFormats.find(format[0]) == std::string_view::npos) return std::nullopt;
    return static_cast<IndexType>(kFormats.find(format[0]));
}

inline std::size_t index_bytes(IndexType type) noexcept {
    return std::size_t{1} << (static_cast<unsigned>(type) / 2);
}

// Calls `f` with a value of the C++ type of `type` (its value unused), to
// pick a loop's instantiation once for a whole column.
template <class F>
decltype(auto) with_index_type(IndexType type, F&& f) {
    switch (type) {
        case IndexType::kInt8: return f(std::int8_t{});
        case IndexType::kUInt8: return f(std::uint8_t{});
        case IndexType::kInt16: return f(std::int16_t{});
        case IndexType::kUInt16: return f(std::uint16_t{});
        case IndexType::kInt32: return f(std::int32_t{});
        case IndexType::kUInt32: return f(std::uint32_t{});
        case IndexType::kInt64: return f(std::int64_t{});
        case IndexType::kUInt64: break;
    }
    return f(std::uint64_t{});
}

}  // namespace vexlo
