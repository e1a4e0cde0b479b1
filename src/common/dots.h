// Label boundaries: the separator '.' found sixteen bytes at a time, and the
// dot bitmap that lets every label of a name be found from the right with a
// few bit operations. Names are short, and a library call or a loop that
// ends on a different byte each time costs more than the search. Results are
// those of a byte-by-byte search; no byte outside the text is read.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "common/simd.h"

namespace vexlo {

// A name's dot bitmap: bit i set where byte i is a dot, for its first
// kDotBitmapBytes bytes. Nearly every name fits whole; the labels of the
// rest that lie beyond are found by searching.
inline constexpr std::size_t kDotBitmapBytes = 64;

// The dot bitmap of p[0, size): the dots of its first kDotBitmapBytes bytes.
inline std::uint64_t dot_bitmap(const char* p, std::size_t size) noexcept {
    if (size < simd::kBlockBytes) {
        return simd::text_bits(simd::bits(simd::equal(simd::load_partial(p, size), '.')), size);
    }
    if (size > kDotBitmapBytes) size = kDotBitmapBytes;
    std::uint64_t dots = 0;
    std::size_t done = 0;
    for (; size - done >= simd::kBlockBytes; done += simd::kBlockBytes) {
        dots |= std::uint64_t{simd::bits(simd::equal(simd::load(p + done), '.'))} << done;
    }
    // The last sixteen bytes; those counted already are set again alike.
    if (done < size) {
        const std::size_t last = size - simd::kBlockBytes;
        dots |= std::uint64_t{simd::bits(simd::equal(simd::load(p + last), '.'))} << last;
    }
    return dots;
}

// The first '.' in [from, end), or end when there is none. The text is
// [begin, end) and holds [from, end); any of its bytes may be read.
inline const char* next_dot(const char* begin, const char* from, const char* end) noexcept {
    if (end - begin >= 16) {
        for (; end - from >= 16; from += 16) {
            if (const unsigned mask = simd::bits(simd::equal(simd::load(from), '.'))) {
                return from + std::countr_zero(mask);
            }
        }
        if (from == end) return end;
        // The text's last sixteen bytes, less those before `from`.
        const unsigned mask = simd::bits(simd::equal(simd::load(end - 16), '.')) >> (16 - (end - from));
        return mask != 0 ? from + std::countr_zero(mask) : end;
    }
    while (from < end && *from != '.') ++from;
    return from;
}

// The last '.' in [begin, before), or null when there is none. The text is
// [begin, end) and holds [begin, before); any of its bytes may be read.
inline const char* previous_dot(const char* begin, const char* before, const char* end) noexcept {
    if (end - begin >= 16) {
        for (; before - begin >= 16; before -= 16) {
            if (const unsigned mask = simd::bits(simd::equal(simd::load(before - 16), '.'))) {
                return before - 16 + (31 - std::countl_zero(mask));
            }
        }
        if (before == begin) return nullptr;
        // The text's first sixteen bytes, less those from `before` on.
        const unsigned mask =
            simd::bits(simd::equal(simd::load(begin), '.')) & ((1u << (before - begin)) - 1);
        return mask != 0 ? begin + (31 - std::countl_zero(mask)) : nullptr;
    }
    while (before > begin && before[-1] != '.') --before;
    return before > begin ? before - 1 : nullptr;
}

// The labels of a name taken from the right, one at a time: where each
// starts, given where it ends. `dots` starts as the name's dot bitmap and
// loses each dot that the cursor passes, so that its highest bit is always
// the dot before the next label; bytes past kDotBitmapBytes are searched,
// unless kFitsBitmap says that the name has none.
template <bool kFitsBitmap = false>
class LabelCursor {
public:
    LabelCursor() noexcept = default;
    LabelCursor(const char* text, std::size_t size, std::uint64_t dots) noexcept
        : text_(text), end_(size), dots_(dots) {}

    std::size_t end() const noexcept { return end_; }

    // Where the label ending at end() starts.
    std::size_t start() const noexcept {
        if constexpr (!kFitsBitmap) {
            if (end_ > kDotBitmapBytes) [[unlikely]] return start_beyond_bitmap();
        }
        return static_cast<std::size_t>(std::bit_width(dots_));
    }

    // Moves to the label left of the one at `start` (= start()), which is
    // not the first.
    void step(std::size_t start) noexcept {
        end_ = start - 1;
        if (end_ < kDotBitmapBytes) dots_ ^= std::uint64_t{1} << end_;
    }

private:
    std::size_t start_beyond_bitmap() const noexcept {
        const char* const dot =
            previous_dot(text_ + kDotBitmapBytes, text_ + end_, text_ + end_);
        if (dot != nullptr) return static_cast<std::size_t>(dot - text_) + 1;
        return static_cast<std::size_t>(std::bit_width(dots_));
    }

    const char* text_;
    std::size_t end_;
    std::uint64_t dots_;
};

// rightmost_labels_start of a text longer than the bitmap: rare, and kept
// out of line so that the common case inlines into its callers.
std::size_t rightmost_labels_start_long(const char* text, std::size_t size, std::uint64_t dots,
                                        std::size_t count) noexcept;

// Where the `count` rightmost labels of text[0, size) begin, given its dot
// bitmap; 1 <= count <= the text's label count.
inline std::size_t rightmost_labels_start(const char* text, std::size_t size, std::uint64_t dots,
                                          std::size_t count) noexcept {
    if (size > kDotBitmapBytes) [[unlikely]] {
        return rightmost_labels_start_long(text, size, dots, count);
    }
    // The dots of the count - 1 labels nearest the end are dropped, highest
    // first; the labels start after the highest dot left.
    for (; count > 1; --count) {
        if (dots == 0) __builtin_unreachable();  // count <= the label count
        dots ^= std::uint64_t{1} << (63 - std::countl_zero(dots));
    }
    return static_cast<std::size_t>(std::bit_width(dots));
}

}  // namespace vexlo
