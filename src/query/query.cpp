#include "query/query.h"

#include "common/find_dot.h"
#include "rules/public_suffix.h"

namespace vexlo {

// Every return names `match`, so it is built in the caller's storage.
std::optional<Match> match_domain(std::string_view domain, Switches switches) {
    std::optional<Match> match(std::in_place);
    NormalizedDomain& normalized = match->domain;
    if (!normalize_domain_into(domain, normalized, match->lowered_dots)) {
        match.reset();
        return match;
    }
    match->public_length =
        public_suffix_length(normalized.lowered.view(), match->lowered_dots, normalized.label_count,
                             switches.accept_unknown, switches.icann_only);
    return match;
}

std::string_view Match::rightmost(bool keep_case, std::size_t count) const noexcept {
    const std::string_view lowered = domain.lowered.view();
    if (!keep_case && lowered.size() <= kDotBitmapBytes && lowered_dots != kNoDotBitmap) {
        return lowered.substr(rightmost_labels_start(lowered_dots, count));
    }
    return rightmost_labels(source(keep_case), domain.label_count, count);
}

std::string_view rightmost_labels(std::string_view text, std::size_t label_count,
                                  std::size_t count) noexcept {
    const char* start = text.data();
    const char* const end = text.data() + text.size();
    for (std::size_t dropped = label_count - count; dropped > 0; --dropped) {
        start = next_dot(text.data(), start, end) + 1;
    }
    return {start, static_cast<std::size_t>(end - start)};
}

bool is_public(const Match& match) noexcept {
    return match.public_length == match.domain.label_count;
}

bool is_private(const Match& match) noexcept {
    return match.public_length != 0 && match.public_length < match.domain.label_count;
}

std::optional<std::string_view> publicsuffix(const Match& match, bool keep_case) noexcept {
    if (match.public_length == 0) return std::nullopt;
    return match.rightmost(keep_case, match.public_length);
}

std::optional<std::string_view> privatesuffix(const Match& match, bool keep_case) noexcept {
    if (!is_private(match)) return std::nullopt;
    return match.rightmost(keep_case, match.public_length + 1);
}

std::optional<PrivateParts> privateparts(const Match& match, bool keep_case) noexcept {
    if (!is_private(match)) return std::nullopt;
    const std::string_view text = match.source(keep_case);
    const std::size_t labels = match.domain.label_count;
    const std::string_view suffix = match.rightmost(keep_case, match.public_length + 1);
    const std::size_t subdomain_count = labels - match.public_length - 1;
    // The subdomain labels end just before the dot that precedes the suffix.
    const std::size_t subdomain_bytes =
        subdomain_count == 0 ? 0 : text.size() - suffix.size() - 1;
    return PrivateParts{text.substr(0, subdomain_bytes), subdomain_count, suffix};
}

std::optional<std::string_view> subdomain(const Match& match, std::uint64_t depth,
                                          bool keep_case) noexcept {
    if (!is_private(match)) return std::nullopt;
    const std::size_t subdomain_count = match.domain.label_count - match.public_length - 1;
    if (depth > subdomain_count) return std::nullopt;
    return match.rightmost(keep_case, match.public_length + 1 + static_cast<std::size_t>(depth));
}

}  // namespace vexlo
