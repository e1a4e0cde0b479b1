// The six answers, defined once over a matched name: how its public-suffix
// length becomes publicsuffix, privatesuffix, is_public, is_private,
// privateparts and subdomain. The single call, the columns and the command
// line all answer through these; they only differ in where the texts live.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/dots.h"

namespace vexlo {

enum class Question : std::uint8_t {
    kPublicSuffix,
    kPrivateSuffix,
    kIsPublic,
    kIsPrivate,
    kPrivateParts,
    kSubdomain,
    // Not answers over a match: the host that host::find_host finds in the
    // text, and extract's record of it (extract/fields.h), which the columns
    // ask beside the six (the functions below never take them).
    kHost,
    kExtract,
};

// A valid name with its match. The texts are borrowed: results cut from
// them live no longer than they do.
struct MatchView {
    std::string_view lowered;   // the lowercase the walk matched
    std::string_view given;     // the caller's text less one trailing dot
    std::uint64_t dots;         // the dot bitmap (common/dots.h) of `lowered`
    std::size_t label_count;    // at least 1
    std::size_t public_length;  // 0..label_count; 0: no public suffix
    // `given` is ASCII, so it holds its labels at the byte offsets of
    // `lowered` and `dots` serves for both.
    bool given_is_ascii;
};

inline bool is_public(std::size_t label_count, std::size_t public_length) noexcept {
    return public_length == label_count;
}
inline bool is_private(std::size_t label_count, std::size_t public_length) noexcept {
    return public_length != 0 && public_length < label_count;
}
inline bool is_public(const MatchView& match) noexcept {
    return is_public(match.label_count, match.public_length);
}
inline bool is_private(const MatchView& match) noexcept {
    return is_private(match.label_count, match.public_length);
}

// How many rightmost labels answer `question` (publicsuffix, privatesuffix,
// privateparts' private suffix, or subdomain at `depth`), or 0 when the name
// has no such answer.
inline std::size_t answer_labels(Question question, std::size_t label_count,
                                 std::size_t public_length, std::uint64_t depth) noexcept {
    if (question == Question::kPublicSuffix) return public_length;
    if (!is_private(label_count, public_length)) return 0;
    if (question != Question::kSubdomain) return public_length + 1;
    // Compared before anything is added, so nothing wraps.
    const std::size_t subdomains = label_count - public_length - 1;
    if (depth > subdomains) return 0;
    return public_length + 1 + static_cast<std::size_t>(depth);
}

// The text that results are cut from: the caller's spelling or the lowercase.
// Both hold the same labels, in places that differ when `given` is not ASCII.
inline std::string_view answer_source(const MatchView& match, bool keep_case) noexcept {
    return keep_case ? match.given : match.lowered;
}

// The `count` rightmost labels of answer_source; 1 <= count <= label_count.
[[gnu::always_inline]] inline std::string_view rightmost_labels(const MatchView& match,
                                                                bool keep_case,
                                                                std::size_t count) noexcept {
    const std::string_view text = answer_source(match, keep_case);
    const std::uint64_t dots = !keep_case || match.given_is_ascii
                                   ? match.dots
                                   : dot_bitmap(text.data(), text.size());
    return text.substr(rightmost_labels_start(text.data(), text.size(), dots, count));
}

// The answer of a text question (publicsuffix, privatesuffix or subdomain).
[[gnu::always_inline]] inline std::optional<std::string_view> text_answer(
    Question question, const MatchView& match, bool keep_case, std::uint64_t depth) noexcept {
    const std::size_t count = answer_labels(question, match.label_count, match.public_length, depth);
    if (count == 0) return std::nullopt;
    return rightmost_labels(match, keep_case, count);
}

[[gnu::always_inline]] inline std::optional<std::string_view> publicsuffix(const MatchView& match, bool keep_case) noexcept {
    return text_answer(Question::kPublicSuffix, match, keep_case, 0);
}
[[gnu::always_inline]] inline std::optional<std::string_view> privatesuffix(const MatchView& match, bool keep_case) noexcept {
    return text_answer(Question::kPrivateSuffix, match, keep_case, 0);
}
inline std::optional<std::string_view> subdomain(const MatchView& match, std::uint64_t depth,
                                                 bool keep_case) noexcept {
    return text_answer(Question::kSubdomain, match, keep_case, depth);
}

// The subdomain labels and the private suffix of a name below a public suffix.
struct PrivateParts {
    std::string_view subdomains;  // the leftmost labels with their dots; empty if none
    std::size_t subdomain_count;  // how many labels `subdomains` holds
    std::string_view private_suffix;
};

inline std::optional<PrivateParts> privateparts(const MatchView& match, bool keep_case) noexcept {
    const std::optional<std::string_view> suffix = privatesuffix(match, keep_case);
    if (!suffix) return std::nullopt;
    const std::string_view text = answer_source(match, keep_case);
    const std::size_t subdomain_count = match.label_count - match.public_length - 1;
    // The subdomain labels end just before the dot that precedes the suffix.
    const std::size_t subdomain_bytes = subdomain_count == 0 ? 0 : text.size() - suffix->size() - 1;
    return PrivateParts{text.substr(0, subdomain_bytes), subdomain_count, *suffix};
}

// Calls `item` with each item of the privateparts answer, in order: every
// subdomain label, then the private suffix.
template <class Item>
void each_private_part(const PrivateParts& parts, Item&& item) {
    std::string_view rest = parts.subdomains;
    for (std::size_t s = 0; s < parts.subdomain_count; ++s) {
        const std::size_t dot = rest.find('.');
        item(rest.substr(0, dot));
        rest.remove_prefix(dot == std::string_view::npos ? rest.size() : dot + 1);
    }
    item(parts.private_suffix);
}

}  // namespace vexlo
