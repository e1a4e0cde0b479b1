// Checking that text is well-formed UTF-8, and where it is not, finding the
// same offending byte that Python's UTF-8 decoder reports as the error's
// start: the first byte of the first sequence that does not decode.
#pragma once

#include <cstddef>
#include <string_view>

#include "common/simd.h"

namespace vexlo {

inline constexpr std::size_t kWellFormed = static_cast<std::size_t>(-1);

// True when every byte is below 0x80. Inline: the list reader asks it of
// every label, most of them a few bytes long. A long text is read 64 bytes
// a step, without an exit until its end.
inline bool is_ascii(std::string_view text) noexcept {
    const char* p = text.data();
    const char* const end = p + text.size();
    simd::Block any = simd::splat(0);
    for (; end - p >= 64; p += 64) {
        any = any | simd::load(p) | simd::load(p + 16) | simd::load(p + 32) | simd::load(p + 48);
    }
    for (; end - p >= 16; p += 16) any = any | simd::load(p);
    unsigned high = simd::bits(any);
    if (p != end) high |= simd::bits(simd::load_partial(p, static_cast<std::size_t>(end - p)));
    return high == 0;
}

// kWellFormed, or the offset of the first byte of the first ill-formed
// sequence (truncated, overlong, surrogate, beyond U+10FFFF, stray
// continuation byte, or a lead byte 0xC0, 0xC1, 0xF5..0xFF). With `padded`,
// the 15 bytes after the text may be read (never used).
std::size_t utf8_error_offset(std::string_view text, bool padded = false) noexcept;

inline bool is_utf8(std::string_view text) noexcept {
    return utf8_error_offset(text) == kWellFormed;
}

}  // namespace vexlo
