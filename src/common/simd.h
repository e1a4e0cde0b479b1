// The byte primitives that every scan in vexlo is written with: a block of
// sixteen bytes, lane-wise comparisons, the mask of a comparison as bits, and
// ASCII lowercasing. With SSE2 (every x86-64) each is an instruction or two;
// elsewhere the portable version, over two 64-bit words, gives the same
// results. No other file tests for a CPU feature. VEXLO_PORTABLE_SIMD (a
// build switch) takes the portable version on x86-64 too, to test it there.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexlo::simd {

// Bits counted without popcnt, which x86-64 does not promise (std::popcount
// becomes a library call there).
inline std::size_t count_bits(std::uint64_t bits) noexcept {
    bits = bits - ((bits >> 1) & 0x5555555555555555ull);
    bits = (bits & 0x3333333333333333ull) + ((bits >> 2) & 0x3333333333333333ull);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<std::size_t>((bits * 0x0101010101010101ull) >> 56);
}

// Eight bytes read as a big-endian number: the first byte most significant.
inline std::uint64_t load_big_endian(const char* bytes) noexcept {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
}

namespace portable {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;
inline constexpr std::uint64_t kHigh = 0x8080808080808080ull;

inline std::uint64_t load_word(const char* p) noexcept {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}

inline void store_word(char* p, std::uint64_t word) noexcept {
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    std::memcpy(p, &word, sizeof word);
}

// Byte i of the block is byte i of `low` for i < 8, of `high` for i >= 8
// (little-endian lanes). Comparisons leave 0x80 in a true lane, 0 in a false.
struct Block {
    std::uint64_t low, high;
};

inline Block load(const char* p) noexcept { return {load_word(p), load_word(p + 8)}; }
inline void store(char* p, Block b) noexcept {
    store_word(p, b.low);
    store_word(p + 8, b.high);
}
inline Block from_words(std::uint64_t low, std::uint64_t high) noexcept { return {low, high}; }
inline std::uint64_t low_word(Block b) noexcept { return b.low; }
inline std::uint64_t high_word(Block b) noexcept { return b.high; }

inline Block operator|(Block a, Block b) noexcept { return {a.low | b.low, a.high | b.high}; }
inline Block operator&(Block a, Block b) noexcept { return {a.low & b.low, a.high & b.high}; }
inline Block splat(char c) noexcept {
    const std::uint64_t word = kOnes * static_cast<unsigned char>(c);
    return {word, word};
}

namespace detail {
// 0x80 in each zero byte of `word`, exactly (no false lanes from borrows).
inline std::uint64_t zero_lanes(std::uint64_t word) noexcept {
    constexpr std::uint64_t kLow7 = ~kHigh;
    return ~(((word & kLow7) + kLow7) | word | kLow7);
}
// 0x80 in each byte below `bound` (at most 0x80), unsigned.
inline std::uint64_t below_lanes(std::uint64_t word, unsigned char bound) noexcept {
    const std::uint64_t at_least = ((word | kHigh) - kOnes * bound) & kHigh;
    return ~(at_least | word) & kHigh;
}
// The high bit of each byte, gathered into bits 0 to 7.
inline unsigned high_bits(std::uint64_t word) noexcept {
    return static_cast<unsigned>(((word & kHigh) * 0x0002040810204081ull) >> 56);
}
// Lowercases a word of bytes that all have the high bit clear. Adding 0x3F
// sets a byte's high bit exactly when it is at least 'A', adding 0x25 when it
// is past 'Z'; no byte carries into the next since none exceeds 0x7F.
inline std::uint64_t lower_ascii(std::uint64_t word) noexcept {
    const std::uint64_t upper = (word + kOnes * (0x80 - 'A')) & ~(word + kOnes * (0x80 - 'Z' - 1)) & kHigh;
    return word | (upper >> 2);
}
}  // namespace detail

inline Block equal(Block b, char c) noexcept {
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(c);
    return {detail::zero_lanes(b.low ^ pattern), detail::zero_lanes(b.high ^ pattern)};
}
// Lanes whose byte is below `bound`, for a bound from 1 to 0x80.
inline Block below(Block b, unsigned char bound) noexcept {
    return {detail::below_lanes(b.low, bound), detail::below_lanes(b.high, bound)};
}
// Lanes whose byte is in [low, high], for 1 <= low <= high < 0x80.
inline Block in_range(Block b, unsigned char low, unsigned char high) noexcept {
    const Block upto = below(b, static_cast<unsigned char>(high + 1));
    const Block under = below(b, low);
    return {upto.low & ~under.low, upto.high & ~under.high};
}
// Lanes whose byte has its high bit set.
inline Block high_lanes(Block b) noexcept { return {b.low & kHigh, b.high & kHigh}; }
// Bit i set where lane i is true (or, for raw bytes, has its high bit set).
inline unsigned bits(Block b) noexcept {
    return detail::high_bits(b.low) | (detail::high_bits(b.high) << 8);
}
// For blocks whose bytes are all below 0x80.
inline Block lower_ascii(Block b) noexcept {
    return {detail::lower_ascii(b.low), detail::lower_ascii(b.high)};
}

}  // namespace portable

#if defined(__SSE2__)
namespace sse2 {

struct Block {
    __m128i v;
};

inline Block load(const char* p) noexcept {
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))};
}
inline void store(char* p, Block b) noexcept {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), b.v);
}
inline Block from_words(std::uint64_t low, std::uint64_t high) noexcept {
    return {_mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low))};
}
inline std::uint64_t low_word(Block b) noexcept {
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(b.v));
}
inline std::uint64_t high_word(Block b) noexcept {
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(b.v, b.v)));
}
inline Block operator|(Block a, Block b) noexcept { return {_mm_or_si128(a.v, b.v)}; }
inline Block operator&(Block a, Block b) noexcept { return {_mm_and_si128(a.v, b.v)}; }
inline Block splat(char c) noexcept { return {_mm_set1_epi8(c)}; }
inline Block equal(Block b, char c) noexcept { return {_mm_cmpeq_epi8(b.v, _mm_set1_epi8(c))}; }
inline Block in_range(Block b, unsigned char low, unsigned char high) noexcept {
    // Moved so that `low` is the smallest signed byte: then one signed
    // comparison tells the range.
    const __m128i moved = _mm_add_epi8(b.v, _mm_set1_epi8(static_cast<char>(0x80 - low)));
    return {_mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(0x80 + (high - low) + 1)))};
}
inline Block high_lanes(Block b) noexcept { return {_mm_cmplt_epi8(b.v, _mm_setzero_si128())}; }
inline Block below(Block b, unsigned char bound) noexcept {
    // Unsigned bytes below `bound`: those a minimum with bound - 1 leaves unchanged.
    const __m128i limit = _mm_set1_epi8(static_cast<char>(bound - 1));
    return {_mm_cmpeq_epi8(_mm_min_epu8(b.v, limit), b.v)};
}
inline unsigned bits(Block b) noexcept { return static_cast<unsigned>(_mm_movemask_epi8(b.v)); }
inline Block lower_ascii(Block b) noexcept {
    // Signed compares are right here: every byte is below 0x80.
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(b.v, _mm_set1_epi8('A' - 1)),
                                        _mm_cmplt_epi8(b.v, _mm_set1_epi8('Z' + 1)));
    return {_mm_or_si128(b.v, _mm_and_si128(upper, _mm_set1_epi8(0x20)))};
}

}  // namespace sse2
#endif
#if defined(__SSE2__) && !defined(VEXLO_PORTABLE_SIMD)
namespace active = sse2;
#else
namespace active = portable;
#endif

using active::bits;
using active::below;
using active::Block;
using active::equal;
using active::from_words;
using active::high_lanes;
using active::high_word;
using active::in_range;
using active::load;
using active::low_word;
using active::lower_ascii;
using active::store;
using active::splat;
using active::operator|;
using active::operator&;

inline constexpr std::size_t kBlockBytes = 16;

// Words in lane order (the first byte in the lowest bits), whatever the
// machine's byte order.
template <class Word>
inline Word little_endian(Word word) noexcept {
    if constexpr (std::endian::native == std::endian::big) {
        if constexpr (sizeof(Word) == 8) return __builtin_bswap64(word);
        else return __builtin_bswap32(word);
    }
    return word;
}

// A text of 1 to 15 bytes in one block, read in two overlapping halves
// rather than past its end: bytes 0-7 of the block are the text's first
// eight (or first four), bytes 8-15 its last eight (or last four). Masks of
// such a block go through text_bits, stores through store_partial.
inline Block load_partial(const char* p, std::size_t size) noexcept {
    if (size >= 8) {
        std::uint64_t head, tail;
        std::memcpy(&head, p, 8);
        std::memcpy(&tail, p + size - 8, 8);
        return from_words(little_endian(head), little_endian(tail));
    }
    if (size >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, p, 4);
        std::memcpy(&tail, p + size - 4, 4);
        return from_words(little_endian(head) | (std::uint64_t{little_endian(tail)} << 32), 0);
    }
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < size; ++i) {
        word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    }
    return from_words(word, 0);
}

// The bits of a mask of load_partial's block at the text's own positions.
inline unsigned text_bits(unsigned mask, std::size_t size) noexcept {
    if (size >= 8) return (mask & 0xFF) | ((mask >> 8) << (size - 8));
    if (size >= 4) return (mask & 0xF) | (((mask >> 4) & 0xF) << (size - 4));
    return mask & ((1u << size) - 1);
}

// Stores a block made from load_partial's at out[0, size), and nothing else.
inline void store_partial(char* out, Block block, std::size_t size) noexcept {
    const std::uint64_t low = low_word(block);
    if (size >= 8) {
        const std::uint64_t head = little_endian(low);
        const std::uint64_t high = little_endian(high_word(block));
        std::memcpy(out + size - 8, &high, 8);
        std::memcpy(out, &head, 8);
    } else if (size >= 4) {
        const auto head = little_endian(static_cast<std::uint32_t>(low));
        const auto tail = little_endian(static_cast<std::uint32_t>(low >> 32));
        std::memcpy(out + size - 4, &tail, 4);
        std::memcpy(out, &head, 4);
    } else {
        for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>(low >> (8 * i));
    }
}

}  // namespace vexlo::simd
