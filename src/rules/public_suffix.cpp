#include "rules/public_suffix.h"

#include "rules/walk.h"

namespace vexlo {

std::size_t public_suffix_length(const RuleTables& tables, std::string_view lowered,
                                 std::uint64_t dots, std::size_t label_count,
                                 Switches switches) noexcept {
    return switches.icann_only ? walk_name<0, true>(tables, lowered.data(), lowered.size(), dots,
                                                    label_count, switches.accept_unknown)
                               : walk_name<0, false>(tables, lowered.data(), lowered.size(), dots,
                                                     label_count, switches.accept_unknown);
}

Verdict rule_verdict(const RuleTables& tables, std::string_view lowered, std::uint64_t dots,
                     std::size_t label_count, bool accept_unknown) noexcept {
    RuleTrace trace;
    walk_rules<0, false>(tables, lowered.data(), lowered.size(), dots, label_count, trace);
    return finished_verdict(trace, accept_unknown);
}

}  // namespace vexlo
