// Searching text for the label separator '.', forwards or backwards, sixteen
// bytes at a time where the text is long enough and eight where it is not:
// names are short, and a library call or a loop that ends on a different byte
// each time costs more than the search. Results are those of a byte-by-byte
// search; no byte outside the text is read.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexlo {

namespace dot_detail {

// Bit i set where byte i of the little-endian word is '.', exactly (no
// false positives from borrows).
inline std::uint64_t dot_bits(std::uint64_t word) noexcept {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    const std::uint64_t x = word ^ 0x2E2E2E2E2E2E2E2Eull;
    return ~(((x & kLow7) + kLow7) | x | kLow7);  // the high bit of each zero byte
}

inline std::uint64_t load_word(const char* p) noexcept {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}

#if defined(__SSE2__)
inline unsigned dot_mask(const char* p) noexcept {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'))));
}
#endif

#if defined(__SSE2__)
// Bit i set where p[i] is a dot, for the 1 to 15 bytes of a short text, read
// as two words that overlap rather than past its end.
inline std::uint32_t dots_in_short(const char* p, std::size_t size) noexcept {
    if (size >= 8) {
        std::uint64_t head, tail;
        std::memcpy(&head, p, 8);
        std::memcpy(&tail, p + size - 8, 8);
        const std::uint32_t mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(
            _mm_set_epi64x(static_cast<long long>(tail), static_cast<long long>(head)),
            _mm_set1_epi8('.'))));
        return (mask & 0xFF) | ((mask >> 8) << (size - 8));
    }
    if (size >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, p, 4);
        std::memcpy(&tail, p + size - 4, 4);
        const std::uint32_t mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(
            _mm_set_epi32(0, 0, static_cast<int>(tail), static_cast<int>(head)), _mm_set1_epi8('.'))));
        return (mask & 0xF) | (((mask >> 4) & 0xF) << (size - 4));
    }
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < size; ++i) mask |= static_cast<std::uint32_t>(p[i] == '.') << i;
    return mask;
}
#endif

}  // namespace dot_detail

// A text of up to kDotBitmapBytes bytes has all its label boundaries in one
// word, its dot bitmap: bit i set where byte i is a dot. Then the start of
// any label from the right is a few bit operations away, with no search.
inline constexpr std::size_t kDotBitmapBytes = 64;

// The dot bitmap of p[0, size), size <= kDotBitmapBytes.
inline std::uint64_t dot_bitmap(const char* p, std::size_t size) noexcept {
#if defined(__SSE2__)
    if (size < 16) return dot_detail::dots_in_short(p, size);
    std::uint64_t bits = 0;
    std::size_t done = 0;
    for (; size - done >= 16; done += 16) bits |= std::uint64_t{dot_detail::dot_mask(p + done)} << done;
    // The last sixteen bytes; those counted already are set again alike.
    if (done < size) bits |= std::uint64_t{dot_detail::dot_mask(p + size - 16)} << (size - 16);
    return bits;
#else
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < size; ++i) bits |= std::uint64_t{p[i] == '.'} << i;
    return bits;
#endif
}

// Where the `count` rightmost labels of a text with the dot bitmap `dots`
// begin; 1 <= count <= the text's label count. The dots of the count - 1
// labels nearest the end are dropped, highest first; the label starts just
// after the highest dot left (at 0 when none is).
inline std::size_t rightmost_labels_start(std::uint64_t dots, std::size_t count) noexcept {
    for (; count > 1; --count) dots ^= std::bit_floor(dots);
    return static_cast<std::size_t>(std::bit_width(dots));
}

// The first '.' in [from, end), or end when there is none. The text is
// [begin, end) and holds [from, end); any of its bytes may be read.
inline const char* next_dot(const char* begin, const char* from, const char* end) noexcept {
    using namespace dot_detail;
#if defined(__SSE2__)
    if (end - begin >= 16) {
        for (; end - from >= 16; from += 16) {
            if (const unsigned mask = dot_mask(from)) return from + std::countr_zero(mask);
        }
        if (from == end) return end;
        // The text's last sixteen bytes, less those before `from`.
        const unsigned mask = dot_mask(end - 16) >> (16 - (end - from));
        return mask != 0 ? from + std::countr_zero(mask) : end;
    }
#endif
    for (; end - from >= 8; from += 8) {
        if (const std::uint64_t bits = dot_bits(load_word(from))) {
            return from + std::countr_zero(bits) / 8;
        }
    }
    if (from == end) return end;
    if (end - begin >= 8) {
        const std::uint64_t bits = dot_bits(load_word(end - 8)) >> ((8 - (end - from)) * 8);
        return bits != 0 ? from + std::countr_zero(bits) / 8 : end;
    }
    while (from < end && *from != '.') ++from;
    return from;
}

// The last '.' in [begin, before), or null when there is none. The text is
// [begin, end) and holds [begin, before); any of its bytes may be read.
inline const char* previous_dot(const char* begin, const char* before, const char* end) noexcept {
    using namespace dot_detail;
#if defined(__SSE2__)
    if (end - begin >= 16) {
        for (; before - begin >= 16; before -= 16) {
            if (const unsigned mask = dot_mask(before - 16)) {
                return before - 16 + (31 - std::countl_zero(mask));
            }
        }
        if (before == begin) return nullptr;
        // The text's first sixteen bytes, less those from `before` on.
        const unsigned mask = dot_mask(begin) & ((1u << (before - begin)) - 1);
        return mask != 0 ? begin + (31 - std::countl_zero(mask)) : nullptr;
    }
#endif
    for (; before - begin >= 8; before -= 8) {
        if (const std::uint64_t bits = dot_bits(load_word(before - 8))) {
            return before - 8 + (63 - std::countl_zero(bits)) / 8;
        }
    }
    if (before == begin) return nullptr;
    if (end - begin >= 8) {
        const std::uint64_t bits =
            dot_bits(load_word(begin)) & ((std::uint64_t{1} << ((before - begin) * 8)) - 1);
        return bits != 0 ? begin + (63 - std::countl_zero(bits)) / 8 : nullptr;
    }
    while (before > begin && before[-1] != '.') --before;
    return before > begin ? before - 1 : nullptr;
}

}  // namespace vexlo
