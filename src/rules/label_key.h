// A label's key: its first eight bytes read as a big-endian number, zero-
// padded past its end. Unequal keys order two labels exactly as the byte-wise
// comparison does (shorter prefix first), so most probes of the child search
// decide with one integer comparison; only equal keys (a shared eight-byte
// prefix, or the label itself) need more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/simd.h"

namespace vexlo {

namespace label_key_detail {
// Keeps the leading min(length, 8) bytes of a word. A table, because label
// lengths vary from probe to probe and a branch on them would be mispredicted.
inline std::uint64_t keep_leading(std::uint64_t word, std::size_t length) noexcept {
    static constexpr std::uint64_t keep[9] = {
        0, 0xFF00000000000000, 0xFFFF000000000000, 0xFFFFFF0000000000, 0xFFFFFFFF00000000,
        0xFFFFFFFFFF000000, 0xFFFFFFFFFFFF0000, 0xFFFFFFFFFFFFFF00, 0xFFFFFFFFFFFFFFFF};
    return word & keep[length < 8 ? length : 8];
}
}  // namespace label_key_detail

// The key of a label, byte by byte: for tables, and at compile time.
constexpr std::uint64_t label_key(std::string_view label) noexcept {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        key = (key << 8) | (i < label.size() ? static_cast<unsigned char>(label[i]) : 0u);
    }
    return key;
}

// The key of the label text[start, end), read in one load that stays inside
// text[0, size) whenever the text has eight bytes: from the label's start, or
// the text's last eight bytes shifted so that the label leads.
inline std::uint64_t label_key_in(const char* text, std::size_t size, std::size_t start,
                                  std::size_t end) noexcept {
    if (size < 8 || start == size) [[unlikely]] {
        return label_key(std::string_view(text + start, end - start));
    }
    const std::uint64_t word = size - start >= 8
                                   ? simd::load_big_endian(text + start)
                                   : simd::load_big_endian(text + size - 8) << ((start - (size - 8)) * 8);
    return label_key_detail::keep_leading(word, end - start);
}

// The key of a label that may be read eight bytes from its start.
inline std::uint64_t label_key_padded(const char* label, std::size_t length) noexcept {
    return label_key_detail::keep_leading(simd::load_big_endian(label), length);
}

}  // namespace vexlo
