// Finding, sixteen bytes at a time, the bytes where the host finder must stop
// and look: all but ASCII letters and digits, '-', '.' and the bytes of UTF-8
// sequences, which hosts are mostly made of; for the finder's short way,
// which takes ASCII hosts alone, the bytes of UTF-8 sequences too. No byte
// outside the text is read.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/simd.h"
#include "host/byte_class.h"

namespace vexlo::host::detail {

namespace scan_detail {

// Bit i set where byte i is a stop: not an ASCII letter or digit, '-', '.',
// or a byte of a UTF-8 sequence, given `high`, the bits of the bytes above
// 0x7F.
inline unsigned stop_mask(simd::Block bytes, unsigned high) noexcept {
    const simd::Block plain = simd::in_range(bytes | simd::splat(0x20), 'a', 'z') |
                              simd::in_range(bytes, '0', '9') | simd::in_range(bytes, '-', '.');
    return ~(simd::bits(plain) | high) & 0xFFFF;
}

}  // namespace scan_detail

// The first byte of [p, end) that may make a host differ from its text:
// TAB, LF, CR, or the first byte of a full stop (two bytes: the last two
// full stops begin alike); end when there is none. Sixteen bytes at a time.
inline const char* first_copy_candidate(const char* p, const char* end) noexcept {
    static_assert(kFullStops[1] >> 16 == kFullStops[2] >> 16);
    for (;; p += 16) {
        const auto left = static_cast<std::size_t>(end - p);
        if (left == 0) return end;
        const std::size_t size = left < 16 ? left : 16;
        const simd::Block bytes = size == 16 ? simd::load(p) : simd::load_partial(p, size);
        const unsigned mask = simd::bits(
            simd::equal(bytes, '\t') | simd::equal(bytes, '\n') | simd::equal(bytes, '\r') |
            simd::equal(bytes, static_cast<char>(kFullStops[0] >> 16)) |
            simd::equal(bytes, static_cast<char>(kFullStops[1] >> 16)));
        const unsigned at = size == 16 ? mask : simd::text_bits(mask, size);
        if (at != 0) return p + std::countr_zero(at);
        if (size < 16) return end;
    }
}

// Gives the stops of [from, end) in order, a block of up to sixteen bytes at
// a time, and tells whether the blocks read held a byte of a UTF-8 sequence
// (such as those of the full stops that separate labels as '.' does). The
// text is [text, end); any of its bytes may be read.
//
// kAsciiOnly, the short way's: the bytes of UTF-8 sequences are stops too,
// a block is thirty-two bytes when the text has them (a short host is read
// whole in one step, before it is known to be short), and long_stops()
// hands the stops from the one last given on to the long way without
// reading a byte again.
template <bool kAsciiOnly = false>
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

    // Whether a block read so far held a byte above 0x7F. The blocks may
    // reach before `from` and past the stop last given: a yes says "maybe"
    // of the bytes between, a no says "none".
    bool saw_utf8() const noexcept
        requires(!kAsciiOnly)
    {
        return high_ != 0;
    }

    // The long way's stops of the same text, from `stop` on: the stop that
    // next() gave last, or end.
    [[gnu::always_inline]] Stops<false> long_stops(const char* stop) const noexcept
        requires(kAsciiOnly)
    {
        Stops<false> stops(text_, stop, end_);
        if (stop == end_) return stops;
        // The blocks before this one held no stop of this scan, so no byte
        // above 0x7F either; this one's bytes from `stop` on are the long
        // way's stops but for those.
        stops.block_ = block_;
        stops.next_block_ = next_block_;
        stops.mask_ = (mask_ | 1u << (stop - block_)) & ~high_;
        stops.high_ = high_;
        return stops;
    }

private:
    template <bool>
    friend class Stops;

    [[gnu::always_inline]] void load() noexcept {
        block_ = next_block_;
        const auto left = static_cast<std::size_t>(end_ - block_);
        if (kAsciiOnly && left >= 32) {
            const simd::Block low = simd::load(block_), high = simd::load(block_ + 16);
            mask_ = take(low) | take(high) << 16;
            high_ = simd::bits(low) | simd::bits(high) << 16;
            next_block_ = block_ + 32;
            return;
        }
        if (left >= 16) {
            const simd::Block bytes = simd::load(block_);
            mask_ = take(bytes);
            if (kAsciiOnly) high_ = simd::bits(bytes);
            next_block_ = block_ + 16;
            return;
        }
        next_block_ = end_;
        const auto before = static_cast<std::size_t>(block_ - text_);
        // The text's last sixteen bytes, or all of a shorter one, less those
        // before the block.
        if (before + left >= 16) {
            const simd::Block bytes = simd::load(end_ - 16);
            mask_ = take(bytes) >> (16 - left);
            if (kAsciiOnly) high_ = simd::bits(bytes) >> (16 - left);
            return;
        }
        const std::size_t size = before + left;
        const simd::Block bytes = simd::load_partial(text_, size);
        mask_ = simd::text_bits(take(bytes), size) >> before;
        if (kAsciiOnly) high_ = simd::text_bits(simd::bits(bytes), size) >> before;
    }

    // The stops of a block of the text's bytes; the long way notes its high
    // bytes.
    [[gnu::always_inline]] unsigned take(simd::Block bytes) noexcept {
        if constexpr (kAsciiOnly) return scan_detail::stop_mask(bytes, 0);
        const unsigned high = simd::bits(bytes);
        high_ |= high;
        return scan_detail::stop_mask(bytes, high);
    }

    const char* text_;
    const char* block_ = nullptr;
    const char* next_block_;
    const char* end_;
    std::uint32_t mask_ = 0;
    // The long way: the high bytes of every block read, bits of any; the
    // short way: those of the block in hand, a bit a byte as in mask_.
    unsigned high_ = 0;
};

}  // namespace vexlo::host::detail
