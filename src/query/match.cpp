#include "query/match.h"

#include "rules/public_suffix.h"

namespace vexlo {

// Every return names `match`, so it is built in the caller's storage.
std::optional<Match> match_domain(std::string_view domain, const RuleTables& tables,
                                  Switches switches) {
    std::optional<Match> match(std::in_place);
    NormalizedDomain& normalized = match->domain;
    if (!normalize_domain_into(domain, normalized)) {
        match.reset();
        return match;
    }
    match->public_length = public_suffix_length(tables, normalized.lowered.view(), normalized.dots,
                                                normalized.label_count, switches);
    return match;
}

std::optional<TracedMatch> trace_domain(std::string_view domain, const RuleTables& tables,
                                        bool accept_unknown) {
    std::optional<TracedMatch> traced(std::in_place);
    NormalizedDomain& normalized = traced->match.domain;
    if (!normalize_domain_into(domain, normalized)) {
        traced.reset();
        return traced;
    }
    traced->verdict = rule_verdict(tables, normalized.lowered.view(), normalized.dots,
                                   normalized.label_count, accept_unknown);
    traced->match.public_length = traced->verdict.public_length;
    return traced;
}

}  // namespace vexlo
