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

}  // namespace vexlo
