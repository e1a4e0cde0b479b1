// Lowercasing a short ASCII name straight into a buffer of the caller's, with
// its dot bitmap and label count: what normalize_domain gives for such a name,
// without a NormalizedDomain record. Nearly every name a program asks about is
// ASCII and at most kDotBitmapBytes long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/find_dot.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexlo {

enum class ShortAscii : unsigned char {
    kValid,    // lowered, dots and labels set
    kInvalid,  // a label is empty
    kOther,    // a byte is not ASCII: normalize_domain's general path decides
};

struct ShortAsciiLabels {
    std::uint64_t dots;       // the dot bitmap (common/find_dot.h) of the text
    std::size_t label_count;  // at least 1
};

namespace short_ascii_detail {

// Bits counted without popcnt, which x86-64 does not promise.
inline std::size_t count_bits(std::uint64_t bits) noexcept {
    bits = bits - ((bits >> 1) & 0x5555555555555555ull);
    bits = (bits & 0x3333333333333333ull) + ((bits >> 2) & 0x3333333333333333ull);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<std::size_t>((bits * 0x0101010101010101ull) >> 56);
}

#if defined(__SSE2__)
inline __m128i lowered_block(__m128i bytes) noexcept {
    // Signed compares are right here: the caller has refused bytes from 0x80.
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('A' - 1)),
                                        _mm_cmplt_epi8(bytes, _mm_set1_epi8('Z' + 1)));
    return _mm_or_si128(bytes, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
}

inline std::uint32_t dot_mask(__m128i bytes) noexcept {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'))));
}
#endif

}  // namespace short_ascii_detail

// The lowercase of `text` (1 to kDotBitmapBytes bytes, its trailing dot
// already dropped) into out[0, size), with its dots and labels. Reads only
// text's bytes; writes only out[0, size). A text with an empty label (a
// leading or trailing dot, or two dots in a row) is kInvalid when all its
// bytes are ASCII; kOther does not judge it.
inline ShortAscii lower_short_ascii(std::string_view text, char* out,
                                    ShortAsciiLabels& labels) noexcept {
    const char* const p = text.data();
    const std::size_t n = text.size();
    std::uint64_t dots;
#if defined(__SSE2__)
    using namespace short_ascii_detail;
    if (n < 16) {
        // Two overlapping words (or the bytes one by one) in one register.
        __m128i bytes;
        if (n >= 8) {
            std::uint64_t head, tail;
            std::memcpy(&head, p, 8);
            std::memcpy(&tail, p + n - 8, 8);
            bytes = _mm_set_epi64x(static_cast<long long>(tail), static_cast<long long>(head));
        } else if (n >= 4) {
            std::uint32_t head, tail;
            std::memcpy(&head, p, 4);
            std::memcpy(&tail, p + n - 4, 4);
            bytes = _mm_set_epi32(0, 0, static_cast<int>(tail), static_cast<int>(head));
        } else {
            std::uint32_t word = 0;
            for (std::size_t i = 0; i < n; ++i) {
                word |= std::uint32_t{static_cast<unsigned char>(p[i])} << (8 * i);
            }
            bytes = _mm_cvtsi32_si128(static_cast<int>(word));
        }
        if (_mm_movemask_epi8(bytes) != 0) return ShortAscii::kOther;
        const __m128i lowered = lowered_block(bytes);
        const std::uint32_t mask = dot_mask(bytes);
        if (n >= 8) {
            const std::uint64_t head = static_cast<std::uint64_t>(_mm_cvtsi128_si64(lowered));
            const std::uint64_t tail =
                static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(lowered, lowered)));
            std::memcpy(out + n - 8, &tail, 8);
            std::memcpy(out, &head, 8);
            dots = (mask & 0xFF) | ((mask >> 8) << (n - 8));
        } else if (n >= 4) {
            const auto head = static_cast<std::uint32_t>(_mm_cvtsi128_si32(lowered));
            const auto tail = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(lowered, 4)));
            std::memcpy(out + n - 4, &tail, 4);
            std::memcpy(out, &head, 4);
            dots = (mask & 0xF) | (((mask >> 4) & 0xF) << (n - 4));
        } else {
            const auto word = static_cast<std::uint32_t>(_mm_cvtsi128_si32(lowered));
            for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char>(word >> (8 * i));
            dots = mask & 0x7;
        }
    } else {
        dots = 0;
        std::size_t done = 0;
        for (; n - done >= 16; done += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + done));
            if (_mm_movemask_epi8(bytes) != 0) return ShortAscii::kOther;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), lowered_block(bytes));
            dots |= std::uint64_t{dot_mask(bytes)} << done;
        }
        if (done < n) {
            // The last sixteen bytes; those before `done` are written again
            // with the same bytes and their dots set again alike.
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
            if (_mm_movemask_epi8(bytes) != 0) return ShortAscii::kOther;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n - 16), lowered_block(bytes));
            dots |= std::uint64_t{dot_mask(bytes)} << (n - 16);
        }
    }
#else
    dots = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = p[i];
        if (static_cast<unsigned char>(c) >= 0x80) return ShortAscii::kOther;
        if (c == '.') dots |= std::uint64_t{1} << i;
        out[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
    }
#endif
    // An empty label: a dot first, a dot last, or a dot right after a dot.
    if (((dots & 1) | (dots >> (n - 1)) | (dots & (dots << 1))) != 0) return ShortAscii::kInvalid;
    labels.dots = dots;
    labels.label_count = 1 + short_ascii_detail::count_bits(dots);
    return ShortAscii::kValid;
}

}  // namespace vexlo
