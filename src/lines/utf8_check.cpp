#include "lines/utf8_check.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexlo::lines {
namespace {

// Where the first byte of 0x80 or above is in [p, end), or end.
const unsigned char* skip_ascii(const unsigned char* p, const unsigned char* end,
                                bool padded) noexcept {
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const int mask = _mm_movemask_epi8(bytes)) return p + __builtin_ctz(mask);
    }
    if (padded && p != end) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(bytes) & ((1 << (end - p)) - 1);
        return mask != 0 ? p + __builtin_ctz(mask) : end;
    }
#else
    (void)padded;
#endif
    while (p < end && *p < 0x80) ++p;
    return p;
}

bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// The length of the well-formed sequence at p (p < end, *p >= 0x80), or 0.
// The ranges of the second byte are those of the Unicode Standard's table of
// well-formed byte sequences, which rule out overlongs and surrogates.
std::size_t sequence_length(const unsigned char* p, const unsigned char* end) noexcept {
    const unsigned char lead = p[0];
    const std::size_t available = static_cast<std::size_t>(end - p);
    unsigned char low = 0x80, high = 0xBF;
    std::size_t length;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (available < 2 || p[1] < low || p[1] > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (i >= available || !is_continuation(p[i])) return 0;
    }
    return length;
}

}  // namespace

bool is_ascii(std::string_view text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
#if defined(__SSE2__)
    __m128i any = _mm_setzero_si128();
    for (; end - p >= 16; p += 16) {
        any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    if (_mm_movemask_epi8(any) != 0) return false;
#endif
    unsigned char high = 0;
    for (; p < end; ++p) high |= *p;
    return high < 0x80;
}

std::size_t utf8_error_offset(std::string_view text, bool padded) noexcept {
    const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = begin + text.size();
    const unsigned char* p = begin;
    while ((p = skip_ascii(p, end, padded)) != end) {
        const std::size_t length = sequence_length(p, end);
        if (length == 0) return static_cast<std::size_t>(p - begin);
        p += length;
    }
    return kWellFormed;
}

}  // namespace vexlo::lines
