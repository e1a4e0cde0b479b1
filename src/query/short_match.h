// The match of a short ASCII name, made without a NormalizedDomain: its
// lowercase and dot bitmap live in a record on the caller's stack, and the
// questions asked without `keep_case` are answered from them. Every answer is
// the one the same question gives through match_domain.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/find_dot.h"
#include "normalize/short_ascii.h"
#include "query/query.h"
#include "rules/compiled_walk.h"

namespace vexlo {

struct ShortMatch {
    std::size_t size;           // bytes of `lowered` in use
    std::size_t label_count;    // at least 1
    std::uint64_t dots;         // the dot bitmap of `lowered`
    std::size_t public_length;  // 0..label_count; 0: no public suffix
    char lowered[kDotBitmapBytes];

    // Nothing is zeroed: match_short fills what it reports as filled.
    ShortMatch() noexcept {}

    // The `count` rightmost labels of the lowercase; 1 <= count <= label_count.
    // The dots of the count - 1 labels nearest the end are dropped, highest
    // first (each round finds one: count <= label_count), then the labels
    // start after the highest dot left, or at 0.
    std::string_view rightmost(std::size_t count) const noexcept {
        std::uint64_t left = dots;
        for (; count > 1; --count) {
            if (left == 0) __builtin_unreachable();  // so no test for a zero word
            left ^= std::uint64_t{1} << (63 - std::countl_zero(left));
        }
        const auto start = static_cast<std::size_t>(std::bit_width(left));
        return {lowered + start, size - start};
    }
};

enum class ShortOutcome : unsigned char {
    kMatched,  // `out` holds the name and its public-suffix length
    kInvalid,  // the name is invalid (match_domain would give no Match)
    kOther,    // not ASCII, or longer than kDotBitmapBytes: ask match_domain
};

// Normalises and matches `domain` as match_domain does, when it is ASCII and
// (less one trailing dot) at most kDotBitmapBytes long. Inline, walk and
// all, so that the common call is one function.
[[gnu::always_inline]] inline ShortOutcome match_short(std::string_view domain, Switches switches,
                                                       ShortMatch& out) noexcept {
    if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
    if (domain.empty()) return ShortOutcome::kInvalid;
    if (domain.size() > kDotBitmapBytes) return ShortOutcome::kOther;
    ShortAsciiLabels labels;
    switch (lower_short_ascii(domain, out.lowered, labels)) {
        case ShortAscii::kValid:
            break;
        case ShortAscii::kInvalid:
            return ShortOutcome::kInvalid;
        case ShortAscii::kOther:
            return ShortOutcome::kOther;
    }
    out.size = domain.size();
    out.label_count = labels.label_count;
    out.dots = labels.dots;
    out.public_length =
        public_suffix_length_short(out.lowered, out.size, labels.dots, labels.label_count,
                                   switches.accept_unknown, switches.icann_only);
    return ShortOutcome::kMatched;
}

inline bool is_public(const ShortMatch& match) noexcept {
    return match.public_length == match.label_count;
}

inline bool is_private(const ShortMatch& match) noexcept {
    return match.public_length != 0 && match.public_length < match.label_count;
}

// publicsuffix and privatesuffix without `keep_case`.
inline std::optional<std::string_view> publicsuffix(const ShortMatch& match) noexcept {
    if (match.public_length == 0) return std::nullopt;
    return match.rightmost(match.public_length);
}

inline std::optional<std::string_view> privatesuffix(const ShortMatch& match) noexcept {
    if (!is_private(match)) return std::nullopt;
    return match.rightmost(match.public_length + 1);
}

}  // namespace vexlo
