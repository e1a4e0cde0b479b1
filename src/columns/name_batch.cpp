#include "columns/name_batch.h"

#include <algorithm>
#include <cstring>

#include "normalize/normalize.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexlo {

namespace {

// Bits counted without popcnt, which x86-64 does not promise.
inline unsigned count_bits(std::uint64_t bits) noexcept {
    bits = bits - ((bits >> 1) & 0x5555555555555555u);
    bits = (bits & 0x3333333333333333u) + ((bits >> 2) & 0x3333333333333333u);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<unsigned>((bits * 0x0101010101010101u) >> 56);
}

enum class Ascii { kValid, kInvalid, kNotAscii };

struct AsciiName {
    std::size_t label_count;
    std::uint64_t dots;
};

#if defined(__SSE2__)

inline __m128i lower_ascii(__m128i bytes) noexcept {
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('A' - 1)),
                                        _mm_cmplt_epi8(bytes, _mm_set1_epi8('Z' + 1)));
    return _mm_or_si128(bytes, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
}

inline unsigned dot_mask(__m128i bytes) noexcept {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'))));
}

// Lowercases the n (>= 1) bytes at `src` into `dst` if they are all ASCII,
// counting labels and finding empty ones on the way. Reads only src[0, n);
// writes dst[0, max(n, 16)).
Ascii lower_ascii_name(const char* src, std::size_t n, char* dst, AsciiName& out) noexcept {
    std::uint32_t dots;  // for n < 16: bit i for byte i
    if (n < 16) {
        __m128i bytes;
        if (n >= 8) {
            std::uint64_t head, tail;
            std::memcpy(&head, src, 8);
            std::memcpy(&tail, src + n - 8, 8);
            bytes = _mm_set_epi64x(static_cast<long long>(tail), static_cast<long long>(head));
        } else if (n >= 4) {
            std::uint32_t head, tail;
            std::memcpy(&head, src, 4);
            std::memcpy(&tail, src + n - 4, 4);
            bytes = _mm_set_epi32(0, 0, static_cast<int>(tail), static_cast<int>(head));
        } else {
            std::uint32_t word = 0;
            for (std::size_t i = 0; i < n; ++i) {
                word |= static_cast<std::uint32_t>(static_cast<unsigned char>(src[i])) << (8 * i);
            }
            bytes = _mm_set_epi32(0, 0, 0, static_cast<int>(word));
        }
        if (_mm_movemask_epi8(bytes) != 0) return Ascii::kNotAscii;
        const __m128i lowered = lower_ascii(bytes);
        const unsigned mask = dot_mask(bytes);
        if (n >= 8) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), lowered);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + n - 8),
                             _mm_unpackhi_epi64(lowered, lowered));
            dots = (mask & 0xFF) | ((mask >> 8) << (n - 8));
        } else if (n >= 4) {
            const int head = _mm_cvtsi128_si32(lowered);
            const int tail = _mm_cvtsi128_si32(_mm_srli_si128(lowered, 4));
            std::memcpy(dst, &head, 4);
            std::memcpy(dst + n - 4, &tail, 4);
            dots = (mask & 0xF) | (((mask >> 4) & 0xF) << (n - 4));
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), lowered);
            dots = mask & ((1u << n) - 1);
        }
        if ((dots & 1) | ((dots >> (n - 1)) & 1) | (dots & (dots << 1))) return Ascii::kInvalid;
        out.label_count = 1 + count_bits(dots);
        out.dots = dots;
        return Ascii::kValid;
    }
    std::size_t labels = 1;
    std::uint64_t dots64 = 0;
    std::uint32_t previous = 1;  // a dot "before" the text: a leading dot is an empty label
    std::size_t done = 0;
    bool empty_label = false;
    for (; n - done >= 16; done += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + done));
        if (_mm_movemask_epi8(bytes) != 0) return Ascii::kNotAscii;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + done), lower_ascii(bytes));
        const std::uint32_t mask = dot_mask(bytes);
        empty_label |= (mask & ((mask << 1) | previous)) != 0;
        previous = mask >> 15;
        if (done < 64) {
            dots64 |= std::uint64_t{mask} << done;
        } else {
            labels += count_bits(mask);
        }
    }
    if (done < n) {
        // The last sixteen bytes, of which those before `done` are done.
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 16));
        if (_mm_movemask_epi8(bytes) != 0) return Ascii::kNotAscii;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 16), lower_ascii(bytes));
        const std::uint32_t mask = dot_mask(bytes) >> (16 - (n - done));
        empty_label |= (mask & ((mask << 1) | previous)) != 0;
        // Bytes before 64 are all in the mask: done < 64 means n < 64.
        if (done < 64) {
            dots64 |= std::uint64_t{mask} << done;
        } else {
            labels += count_bits(mask);
        }
    }
    if (empty_label || src[n - 1] == '.') return Ascii::kInvalid;
    out.label_count = labels + count_bits(dots64);
    out.dots = dots64;
    return Ascii::kValid;
}

#else

Ascii lower_ascii_name(const char* src, std::size_t n, char* dst, AsciiName& out) noexcept {
    std::size_t labels = 1;
    std::uint64_t dots = 0;
    char previous = '.';
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(src[i]);
        if (c >= 0x80) return Ascii::kNotAscii;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const char c = src[i];
        if (c == '.') {
            if (previous == '.') return Ascii::kInvalid;
            ++labels;
            if (i < 64) dots |= std::uint64_t{1} << i;
        }
        dst[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
        previous = c;
    }
    if (previous == '.') return Ascii::kInvalid;
    out.label_count = labels;
    out.dots = dots;
    return Ascii::kValid;
}

#endif

}  // namespace

bool is_utf8(std::string_view text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        // Eight ASCII bytes at a time.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ull) != 0) break;
            p += 8;
        }
        if (p == end) break;
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        std::size_t extra;
        unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            if (lead == 0xE0) low = 0xA0;       // overlong
            else if (lead == 0xED) high = 0x9F; // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            if (lead == 0xF0) low = 0x90;       // overlong
            else if (lead == 0xF4) high = 0x8F; // past U+10FFFF
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) <= extra) return false;
        if (p[1] < low || p[1] > high) return false;
        for (std::size_t i = 2; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
        }
        p += extra + 1;
    }
    return true;
}

void NameBatch::clear() noexcept {
    names_.clear();
    walk_.clear();
    arena_size_ = kWalkPadding;
}

void NameBatch::grow_arena(std::size_t needed) {
    const std::size_t capacity = std::max(needed, std::max<std::size_t>(arena_capacity_ * 2, 8192));
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (arena_ != nullptr) {
        std::memcpy(grown.get(), arena_.get(), arena_size_);
        for (WalkName& name : walk_) name.text = grown.get() + (name.text - arena_.get());
    }
    arena_ = std::move(grown);
    arena_capacity_ = capacity;
}

void NameBatch::add_null() {
    names_.push_back(Name{{}, 0, State::kNull, false});
}

[[gnu::always_inline]] inline void NameBatch::add_valid(std::string_view given, bool ascii,
                                                        const char* lowered, std::size_t size,
                                                        std::size_t label_count,
                                                        std::uint64_t dots) {
    names_.push_back(Name{given, static_cast<std::uint32_t>(walk_.size()), State::kValid, ascii});
    walk_.push_back(WalkName{lowered, size, label_count, dots});
    arena_size_ += size + kWalkPadding;
}

void NameBatch::add(std::string_view text) {
    std::string_view given = text;
    if (!given.empty() && given.back() == '.') given.remove_suffix(1);
    if (given.empty()) {
        names_.push_back(Name{{}, 0, State::kInvalid, false});
        return;
    }
    char* const dst = reserve(given.size());
    AsciiName ascii;
    switch (lower_ascii_name(given.data(), given.size(), dst, ascii)) {
        case Ascii::kValid:
            add_valid(given, true, dst, given.size(), ascii.label_count, ascii.dots);
            return;
        case Ascii::kInvalid:
            names_.push_back(Name{{}, 0, State::kInvalid, false});
            return;
        case Ascii::kNotAscii:
            break;
    }
    std::optional<NormalizedDomain> normalized;
    if (!is_utf8(text) || !(normalized = normalize_domain(text))) {
        names_.push_back(Name{{}, 0, State::kInvalid, false});
        return;
    }
    const std::string_view lowered = normalized->lowered.view();
    char* const place = reserve(lowered.size());
    std::memcpy(place, lowered.data(), lowered.size());
    add_valid(normalized->given, false, place, lowered.size(), normalized->label_count,
              dots_of(lowered.data(), lowered.size()));
}

void NameBatch::match(bool accept_unknown, bool icann_only) {
    lengths_.resize(walk_.size());
    public_suffix_lengths(walk_, accept_unknown, icann_only, lengths_.data());
}

}  // namespace vexlo
