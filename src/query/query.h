// The six questions, answered as plain values: a boolean, an optional slice of
// the chosen source text, or the slices that make up privateparts. Nothing
// here needs the interpreter; the module turns the answers into objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "normalize/normalize.h"

namespace vexlo {

struct Switches {
    bool accept_unknown = true;
    bool icann_only = false;
};

// A valid name with the length of its public suffix. Slices cut from it
// borrow its lowered text or the caller's text, so they live no longer than
// the Match and the caller's string.
struct Match {
    NormalizedDomain domain;
    std::size_t public_length;  // 0..label_count; 0: no public suffix
    // The dot bitmap of domain.lowered (common/find_dot.h) when it has at
    // most kDotBitmapBytes bytes, so results cut from it find their start
    // without searching; kNoDotBitmap (never the bitmap of a valid name: it
    // would have empty labels) until whoever fills the Match sets it.
    static constexpr std::uint64_t kNoDotBitmap = ~std::uint64_t{0};
    std::uint64_t lowered_dots = kNoDotBitmap;

    // Leaves everything to be filled in: match_domain normalises straight
    // into `domain` where the Match lives, so the lowered text is never moved.
    Match() noexcept {}

    // The text that results are cut from: the caller's spelling or the
    // lowercase. Both hold the same labels.
    std::string_view source(bool keep_case) const noexcept {
        return keep_case ? domain.given : domain.lowered.view();
    }

    // The `count` rightmost labels of source(keep_case); 1 <= count <= label_count.
    std::string_view rightmost(bool keep_case, std::size_t count) const noexcept;
};

// Normalises once and matches once; empty for an invalid name.
std::optional<Match> match_domain(std::string_view domain, Switches switches);

// The subdomain labels and the private suffix of a name below a public suffix.
struct PrivateParts {
    std::string_view subdomains;       // the leftmost labels with their dots; empty if none
    std::size_t subdomain_count;       // how many labels `subdomains` holds
    std::string_view private_suffix;
};

bool is_public(const Match& match) noexcept;
bool is_private(const Match& match) noexcept;
std::optional<std::string_view> publicsuffix(const Match& match, bool keep_case) noexcept;
std::optional<std::string_view> privatesuffix(const Match& match, bool keep_case) noexcept;
std::optional<PrivateParts> privateparts(const Match& match, bool keep_case) noexcept;
std::optional<std::string_view> subdomain(const Match& match, std::uint64_t depth,
                                          bool keep_case) noexcept;

// The `count` rightmost labels of `text`, which holds `label_count` labels;
// 1 <= count <= label_count. Boundaries are found in `text` itself.
std::string_view rightmost_labels(std::string_view text, std::size_t label_count,
                                  std::size_t count) noexcept;

}  // namespace vexlo
