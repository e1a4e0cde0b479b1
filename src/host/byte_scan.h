// Finding, sixteen bytes at a time, the bytes where the host finder must stop
// and look: all but ASCII letters and digits, '-', '.' and the bytes of UTF-8
// sequences, which hosts are mostly made of. No byte outside the text is
// read.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "host/byte_class.h"

namespace vexlo::host::detail {

#if defined(__SSE2__)
namespace scan_detail {

// Bytes in [low, high], by a signed comparison after moving low to -128.
inline __m128i in_range(__m128i bytes, int low, int high) noexcept {
    const __m128i moved = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(-128 - low)));
    return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(-128 + (high - low) + 1)));
}

// Bit i set where byte i is a stop.
inline unsigned stop_mask(__m128i bytes) noexcept {
    __m128i plain = in_range(_mm_or_si128(bytes, _mm_set1_epi8(0x20)), 'a', 'z');
    plain = _mm_or_si128(plain, in_range(bytes, '0', '9'));
    plain = _mm_or_si128(plain, in_range(bytes, '-', '.'));
    plain = _mm_or_si128(plain, _mm_cmplt_epi8(bytes, _mm_setzero_si128()));
    return ~static_cast<unsigned>(_mm_movemask_epi8(plain)) & 0xFFFF;
}

inline unsigned stop_mask_at(const char* p) noexcept {
    return stop_mask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// The stop mask of a text of 8 to 15 bytes, read as two words that overlap.
inline unsigned stop_mask_short(const char* p, std::size_t size) noexcept {
    std::uint64_t head, tail;
    std::memcpy(&head, p, 8);
    std::memcpy(&tail, p + size - 8, 8);
    const unsigned mask =
        stop_mask(_mm_set_epi64x(static_cast<long long>(tail), static_cast<long long>(head)));
    return (mask & 0xFF) | ((mask >> 8) << (size - 8));
}

}  // namespace scan_detail
#endif

inline bool is_stop(char c) noexcept { return (byte_class(c) & kPlain) == 0; }

// Gives the stops of [from, end) in order, a block of up to sixteen bytes at
// a time. The text is [text, end); any of its bytes may be read.
class Stops {
public:
    Stops(const char* text, const char* from, const char* end) noexcept
        : text_(text), next_block_(from), end_(end) {}

    // The next stop, or end when there is none.
    [[gnu::always_inline]] const char* next() noexcept {
        while (mask_ == 0) {
            if (next_block_ == end_) return end_;
            load();
        }
        const char* stop = block_ + std::countr_zero(mask_);
        mask_ &= mask_ - 1;
        return stop;
    }

private:
    [[gnu::always_inline]] void load() noexcept {
        block_ = next_block_;
        const auto left = static_cast<std::size_t>(end_ - block_);
#if defined(__SSE2__)
        using namespace scan_detail;
        if (left >= 16) {
            mask_ = stop_mask_at(block_);
            next_block_ = block_ + 16;
            return;
        }
        next_block_ = end_;
        const auto before = static_cast<std::size_t>(block_ - text_);
        // The text's last sixteen bytes, or all of a shorter one, less those
        // before the block.
        if (before + left >= 16) {
            mask_ = stop_mask_at(end_ - 16) >> (16 - left);
            return;
        }
        if (before + left >= 8) {
            mask_ = stop_mask_short(text_, before + left) >> before;
            return;
        }
#endif
        next_block_ = block_ + (left < 32 ? left : 32);
        mask_ = 0;
        for (std::size_t i = 0; block_ + i < next_block_; ++i) {
            mask_ |= std::uint32_t{is_stop(block_[i])} << i;
        }
    }

    const char* text_;
    const char* block_ = nullptr;
    const char* next_block_;
    const char* end_;
    std::uint32_t mask_ = 0;
};

}  // namespace vexlo::host::detail
