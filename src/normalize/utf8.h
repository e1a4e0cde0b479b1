// UTF-8 decoding and encoding for the lowercasing code. Internal to
// src/normalize.
//
// Callers promise well-formed UTF-8, but no byte sequence may make us read
// outside the text. A sequence that is not well-formed (truncated, overlong,
// surrogate, beyond U+10FFFF, stray continuation byte, 0xF5..0xFF lead) is
// taken one byte at a time, each byte a unit of its own that lowercasing
// copies unchanged. So the byte 0x2E only ever stands for U+002E, and the
// label structure of any byte string survives lowercasing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexlo::utf8 {

// Stands in for an ill-formed byte in property lookups: neither cased nor
// case-ignorable.
inline constexpr char32_t kReplacement = 0xFFFD;

struct Decoded {
    char32_t code_point;  // kReplacement when !valid
    std::uint8_t length;  // bytes taken, 1 to 4
    bool valid;
};

inline bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// Decodes the code point starting at `p`, reading nothing at or after `end`
// (p < end).
inline Decoded decode(const unsigned char* p, const unsigned char* end) noexcept {
    const unsigned char lead = p[0];
    if (lead < 0x80) return {lead, 1, true};
    constexpr Decoded kInvalid{kReplacement, 1, false};
    std::size_t length;
    char32_t code_point;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code_point = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code_point = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code_point = lead & 0x07, minimum = 0x10000;
    } else {
        return kInvalid;
    }
    if (static_cast<std::size_t>(end - p) < length) return kInvalid;
    for (std::size_t i = 1; i < length; ++i) {
        if (!is_continuation(p[i])) return kInvalid;
        code_point = (code_point << 6) | (p[i] & 0x3F);
    }
    if (code_point < minimum || code_point > 0x10FFFF ||
        (code_point >= 0xD800 && code_point <= 0xDFFF)) {
        return kInvalid;
    }
    return {code_point, static_cast<std::uint8_t>(length), true};
}

// Decodes the code point that ends just before `p`, reading nothing before
// `begin` (begin < p). A well-formed sequence ending at p is one code point;
// otherwise the byte before p is a unit of its own.
inline Decoded decode_before(const unsigned char* begin, const unsigned char* p) noexcept {
    if (p[-1] < 0x80) return {p[-1], 1, true};
    const unsigned char* lead = p - 1;
    while (lead > begin && p - lead < 4 && is_continuation(*lead)) --lead;
    const Decoded decoded = decode(lead, p);
    if (decoded.valid && lead + decoded.length == p) return decoded;
    return {kReplacement, 1, false};
}

inline std::size_t encoded_length(char32_t c) noexcept {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// Writes `c` (a scalar value) at `out`; returns the byte after it.
inline char* encode(char32_t c, char* out) noexcept {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

}  // namespace vexlo::utf8
