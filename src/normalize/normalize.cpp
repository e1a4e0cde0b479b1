#include "normalize/normalize.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "common/find_dot.h"
#include "normalize/lowercase.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexlo {

namespace {

// Dots counted without popcnt, which x86-64 does not promise.
inline std::size_t count_bits(std::uint32_t bits) noexcept {
    bits = bits - ((bits >> 1) & 0x55555555u);
    bits = (bits & 0x33333333u) + ((bits >> 2) & 0x33333333u);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0Fu;
    return (bits * 0x01010101u) >> 24;
}

#if defined(__SSE2__)

// Bit i set where p[i] is a dot, for the 16 bytes from p.
inline std::uint32_t dots_in_block(const char* p) noexcept {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'))));
}

using dot_detail::dots_in_short;

// The number of labels of a non-empty text, or 0 when a label is empty. The
// search for dots goes 16 bytes at a time; a dot right after a dot (bit i
// and bit i - 1, carried across blocks) is an empty label.
std::size_t count_labels(std::string_view text) noexcept {
    const char* const p = text.data();
    const std::size_t size = text.size();
    if (p[0] == '.' || p[size - 1] == '.') return 0;
    if (size < 16) {
        const std::uint32_t dots = dots_in_short(p, size);
        if ((dots & (dots << 1)) != 0) return 0;
        return 1 + count_bits(dots);
    }
    std::size_t labels = 1;
    std::uint32_t previous = 0;  // 1 if the byte before the block is a dot
    std::size_t done = 0;
    for (; size - done >= 16; done += 16) {
        const std::uint32_t dots = dots_in_block(p + done);
        if ((dots & ((dots << 1) | previous)) != 0) return 0;
        labels += count_bits(dots);
        previous = dots >> 15;
    }
    if (done < size) {
        // The last 16 bytes, less those already counted.
        const std::uint32_t dots = dots_in_block(p + size - 16) >> (16 - (size - done));
        if ((dots & ((dots << 1) | previous)) != 0) return 0;
        labels += count_bits(dots);
    }
    return labels;
}

// The texts of 16 bytes or more that are all ASCII (nearly all names) are
// counted and lowercased in one pass over 16-byte blocks: lowercase a block
// of ASCII, add its dots. kNotAscii, with `out` unspecified, when a byte has
// its high bit set: then the general path starts over.
constexpr std::size_t kNotAscii = ~std::size_t{0};

inline __m128i lowered_block(__m128i bytes) noexcept {
    // Signed compares are right here: every byte is below 0x80.
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('A' - 1)),
                                        _mm_cmplt_epi8(bytes, _mm_set1_epi8('Z' + 1)));
    return _mm_or_si128(bytes, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
}

// The dots of a block's 16-bit mask, by two table loads.
inline std::size_t count_dots(std::uint32_t dots) noexcept {
    static constexpr auto bits = [] {
        std::array<std::uint8_t, 256> counts{};
        for (std::size_t i = 1; i < counts.size(); ++i) counts[i] = counts[i / 2] + (i & 1);
        return counts;
    }();
    return std::size_t{bits[dots & 0xFF]} + bits[(dots >> 8) & 0xFF];
}

std::size_t count_labels_lowering_ascii(std::string_view text, char* out,
                                       std::uint64_t& dot_bits) noexcept {
    const char* const p = text.data();
    const std::size_t size = text.size();
    if (p[0] == '.' || p[size - 1] == '.') return 0;
    std::size_t labels = 1;
    std::uint32_t previous = 0;  // 1 if the byte before the block is a dot
    std::size_t done = 0;
    const __m128i dot = _mm_set1_epi8('.');
    for (; size - done >= 16; done += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + done));
        if (_mm_movemask_epi8(bytes) != 0) return kNotAscii;
        const auto dots = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, dot)));
        if ((dots & ((dots << 1) | previous)) != 0) return 0;
        labels += count_dots(dots);
        previous = dots >> 15;
        if (done < kDotBitmapBytes) dot_bits |= std::uint64_t{dots} << done;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), lowered_block(bytes));
    }
    if (done < size) {
        // The last 16 bytes, less those already counted; the overlap is
        // written again with the same bytes.
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - 16));
        if (_mm_movemask_epi8(bytes) != 0) return kNotAscii;
        const auto dots = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, dot))) >>
                          (16 - (size - done));
        if ((dots & ((dots << 1) | previous)) != 0) return 0;
        labels += count_dots(dots);
        if (done < kDotBitmapBytes) dot_bits |= std::uint64_t{dots} << done;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + size - 16), lowered_block(bytes));
    }
    return labels;
}

#else

std::size_t count_labels(std::string_view text) noexcept {
    const char* p = text.data();
    const char* const end = p + text.size();
    if (*p == '.' || end[-1] == '.') return 0;
    std::size_t labels = 1;
    // Every dot found is followed by at least one byte, since the last is no dot.
    while (const void* found = std::memchr(p, '.', static_cast<std::size_t>(end - p))) {
        const char* dot = static_cast<const char*>(found);
        if (dot == p) return 0;
        ++labels;
        p = dot + 1;
    }
    return labels;
}

#endif

}  // namespace

// Every return names `result`, so it lives in the caller's storage; the record
// is built in place and the lowercase written straight into it, so the inline
// store is never copied. (Starting from a disengaged std::optional would not
// do: libstdc++ zero-fills its whole storage, which costs more than the rest
// of a short name's work.)
std::optional<NormalizedDomain> normalize_domain(std::string_view text) {
    std::optional<NormalizedDomain> result(std::in_place);
    if (!normalize_domain_into(text, *result)) result.reset();
    return result;
}

// The labels are counted in the caller's text, before lowercasing (or in the
// same pass, for ASCII): its dots are exactly those of the lowercase, in the
// same places between the same labels (no mapping makes or takes a dot, a
// non-empty label never lowercases to an empty one, and ill-formed bytes are
// copied as they are). Counting there saves lowercasing an invalid name, and
// reading back bytes just written in differently sized pieces, which stalls
// the load.
bool normalize_domain_into(std::string_view text, NormalizedDomain& out) {
    std::uint64_t unused;
    return normalize_domain_into(text, out, unused);
}

// The dot bitmap of an ASCII text is that of its lowercase, so the pass that
// lowercases 16-byte blocks keeps it; otherwise it is made from the lowercase.
bool normalize_domain_into(std::string_view text, NormalizedDomain& out,
                           std::uint64_t& lowered_dots) {
    if (!text.empty() && text.back() == '.') text.remove_suffix(1);
#if defined(__SSE2__)
    if (text.size() >= 16) {
        if (text.size() > OwnedText::kInlineCapacity) out.lowered = OwnedText(text.size());
        lowered_dots = 0;
        const std::size_t labels = count_labels_lowering_ascii(text, out.lowered.data(), lowered_dots);
        if (labels != kNotAscii) {
            if (labels == 0) return false;
            out.lowered.set_size(text.size());
            out.given = text;
            out.label_count = labels;
            return true;
        }
    }
#endif
    const std::size_t labels = text.empty() ? 0 : count_labels(text);
    if (labels == 0) return false;
    if (text.size() > OwnedText::kInlineCapacity && out.lowered.capacity() < text.size()) {
        out.lowered = OwnedText(text.size());
    }
    out.given = text;
    out.label_count = labels;
    lowercase_into(text, out.lowered);
    if (out.lowered.size() <= kDotBitmapBytes) {
        lowered_dots = dot_bitmap(out.lowered.data(), out.lowered.size());
    }
    return true;
}

}  // namespace vexlo
