// Matching one name: normalised once, walked once, answered through
// query/answers.h. (query/short_match.h is the common case of a short ASCII
// name over the compiled tables.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "normalize/normalize.h"
#include "query/answers.h"
#include "rules/rule_tables.h"
#include "rules/rule_view.h"

namespace vexlo {

struct Match {
    NormalizedDomain domain;
    std::size_t public_length;

    // Leaves everything to be filled in: match_domain normalises straight
    // into `domain` where the Match lives, so the lowered text is never moved.
    Match() noexcept {}

    MatchView view() const noexcept {
        return {domain.lowered.view(), domain.given, domain.dots, domain.label_count,
                public_length, domain.ascii};
    }
};

// Normalises once and matches once; empty for an invalid name.
std::optional<Match> match_domain(std::string_view domain, const RuleTables& tables,
                                  Switches switches);

// A Match in both views, with the rule that decided (query/extract.h).
struct TracedMatch {
    Match match;  // public_length: the full view's
    Verdict verdict;

    TracedMatch() noexcept {}
};

// Normalises once and walks once, keeping both views; empty for an invalid
// name.
std::optional<TracedMatch> trace_domain(std::string_view domain, const RuleTables& tables,
                                        bool accept_unknown);

}  // namespace vexlo
