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
#include "rules/public_suffix.h"
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

// A Match in both views, with the rule that decided (extract/fields.h).
struct TracedMatch {
    Match match;  // public_length: the full view's
    Verdict verdict;

    TracedMatch() noexcept {}
};

// Normalises once and walks once, keeping both views; empty for an invalid
// name. kRootEdges: as for walk_rules.
template <std::size_t kRootEdges = 0>
std::optional<TracedMatch> trace_domain(std::string_view domain, const RuleTables& tables,
                                        bool accept_unknown) {
    // Every return names `traced`, so it is built in the caller's storage.
    std::optional<TracedMatch> traced(std::in_place);
    NormalizedDomain& normalized = traced->match.domain;
    if (!normalize_domain_into(domain, normalized)) {
        traced.reset();
        return traced;
    }
    traced->verdict = rule_verdict<kRootEdges>(tables, normalized.lowered.view(), normalized.dots,
                                               normalized.label_count, accept_unknown);
    traced->match.public_length = traced->verdict.public_length;
    return traced;
}

}  // namespace vexlo
