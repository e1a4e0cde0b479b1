// Lowercasing an ASCII name in one pass with its labels: the dot bitmap and
// the label count come out of the same blocks that are lowered. Nearly every
// name a program asks about is ASCII, so this is the path of the single call,
// the columns and the command line alike; normalize_domain takes it too, and
// counts the labels of other names with the same scan.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/dots.h"
#include "common/simd.h"

namespace vexlo {

enum class AsciiLabels : unsigned char {
    kValid,     // lowered, with its labels
    kInvalid,   // ASCII, but a label is empty
    kNotAscii,  // a byte is 0x80 or above: the general path decides
};

struct LabelShape {
    std::uint64_t dots;       // the dot bitmap (common/dots.h)
    std::size_t label_count;  // at least 1
};

namespace ascii_labels_detail {

// The labels of src[0, size) (size >= 1), sixteen bytes at a time; with
// kLower, only when every byte is ASCII, lowercasing them into `out` on the
// way. Without it, any bytes: only the labels are looked at.
template <bool kLower>
[[gnu::always_inline]] inline AsciiLabels scan_labels(const char* src, std::size_t size,
                                                      char* out, LabelShape& shape) noexcept {
    if (size < simd::kBlockBytes) {
        const simd::Block bytes = simd::load_partial(src, size);
        if constexpr (kLower) {
            if (simd::bits(bytes) != 0) return AsciiLabels::kNotAscii;
            simd::store_partial(out, simd::lower_ascii(bytes), size);
        }
        const std::uint64_t dots = simd::text_bits(simd::bits(simd::equal(bytes, '.')), size);
        if (((dots & 1) | (dots >> (size - 1)) | (dots & (dots << 1))) != 0) {
            return AsciiLabels::kInvalid;
        }
        shape.dots = dots;
        shape.label_count = 1 + simd::count_bits(dots);
        return AsciiLabels::kValid;
    }
    // Blocks of sixteen, the last one ending at the last byte and overlapping
    // the one before (its bytes lowered again alike, its dots shifted off).
    std::uint64_t dots = 0;           // of the first kDotBitmapBytes bytes
    std::size_t dots_beyond = 0;      // counted past them
    unsigned empty_label = 0;
    unsigned previous = 1;            // a dot before the text: a leading dot is an empty label
    std::size_t done = 0;
    const auto take = [&](std::size_t at, unsigned skip) noexcept {
        const simd::Block bytes = simd::load(src + at);
        if constexpr (kLower) {
            if (simd::bits(bytes) != 0) return false;
            simd::store(out + at, simd::lower_ascii(bytes));
        }
        const unsigned mask = simd::bits(simd::equal(bytes, '.')) >> skip;
        empty_label |= mask & ((mask << 1) | previous);
        previous = mask >> (simd::kBlockBytes - 1 - skip);
        if (done < kDotBitmapBytes) {
            dots |= std::uint64_t{mask} << done;
        } else {
            dots_beyond += simd::count_bits(mask);
        }
        return true;
    };
    for (; size - done >= simd::kBlockBytes; done += simd::kBlockBytes) {
        if (!take(done, 0)) return AsciiLabels::kNotAscii;
    }
    if (done < size) {
        const std::size_t skip = simd::kBlockBytes - (size - done);
        if (!take(size - simd::kBlockBytes, static_cast<unsigned>(skip))) return AsciiLabels::kNotAscii;
    }
    if (empty_label != 0 || src[size - 1] == '.') return AsciiLabels::kInvalid;
    shape.dots = dots;
    shape.label_count = 1 + simd::count_bits(dots) + dots_beyond;
    return AsciiLabels::kValid;
}

}  // namespace ascii_labels_detail

// The lowercase of src[0, size) (size >= 1, a trailing root dot already
// dropped) into out[0, size), with its labels, when every byte is ASCII.
// Reads only src[0, size); writes only out[0, size). An empty label (a dot
// first, a dot last, or a dot right after a dot) is kInvalid; kNotAscii does
// not judge the labels, and leaves `out` and `shape` unspecified.
[[gnu::always_inline]] inline AsciiLabels lower_ascii_labels(const char* src, std::size_t size,
                                                             char* out,
                                                             LabelShape& shape) noexcept {
    return ascii_labels_detail::scan_labels<true>(src, size, out, shape);
}

// The labels of any text of `size` >= 1 bytes: kValid with `shape` filled,
// or kInvalid when a label is empty. Its dots are those of its lowercase:
// no lowercase mapping makes or takes a dot, or empties a label.
inline AsciiLabels find_labels(const char* src, std::size_t size, LabelShape& shape) noexcept {
    return ascii_labels_detail::scan_labels<false>(src, size, nullptr, shape);
}

}  // namespace vexlo
