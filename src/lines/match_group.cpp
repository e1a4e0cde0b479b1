#include "lines/match_group.h"

#include <cstring>

namespace vexlo::lines {

void MatchGroup::match(std::span<const std::string_view> names, Switches switches) {
    // Normalised into place: a Match is never moved once its text is lowered.
    std::size_t arena_bytes = kWalkPadding;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::optional<Match>& slot = matches_[i];
        slot.emplace();
        // The dot bitmap lets the answers cut labels without searching.
        if (!normalize_domain_into(names[i], slot->domain, slot->lowered_dots)) {
            slot.reset();
            continue;
        }
        arena_bytes += slot->domain.lowered.size() + kWalkPadding;
    }
    arena_.resize(arena_bytes);
    walk_.clear();
    walk_slot_.clear();
    std::size_t at = kWalkPadding;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!matches_[i]) continue;
        const NormalizedDomain& domain = matches_[i]->domain;
        const std::size_t size = domain.lowered.size();
        char* const text = arena_.data() + at;
        std::memcpy(text, domain.lowered.data(), size);
        walk_.push_back(WalkName{text, size, domain.label_count, dots_of(text, size)});
        walk_slot_.push_back(i);
        at += size + kWalkPadding;
    }
    lengths_.resize(walk_.size());
    public_suffix_lengths(walk_, switches.accept_unknown, switches.icann_only, lengths_.data());
    for (std::size_t k = 0; k < walk_.size(); ++k) matches_[walk_slot_[k]]->public_length = lengths_[k];
}

}  // namespace vexlo::lines
