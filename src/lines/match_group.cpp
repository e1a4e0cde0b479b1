#include "lines/match_group.h"

#include "rules/public_suffix.h"

namespace vexlo::lines {

void MatchGroup::match(std::span<const std::string_view> names, Switches switches) {
    // Normalised into place: a Match is never moved once its text is lowered.
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::optional<Match>& slot = matches_[i];
        slot.emplace();
        if (!normalize_domain_into(names[i], slot->domain, slot->lowered_dots)) slot.reset();
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (std::optional<Match>& slot = matches_[i]) {
            const NormalizedDomain& domain = slot->domain;
            slot->public_length =
                public_suffix_length(domain.lowered.view(), slot->lowered_dots, domain.label_count,
                                     switches.accept_unknown, switches.icann_only);
        }
    }
}

}  // namespace vexlo::lines
