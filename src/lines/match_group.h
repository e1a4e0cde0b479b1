// Matching the names of a group of lines in one call: each name is
// normalised, then the whole group is walked. The walk over the group is the
// place where names can be kept in flight together.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "query/query.h"

namespace vexlo::lines {

class MatchGroup {
public:
    static constexpr std::size_t kCapacity = 32;

    // Matches names[i] into slot i (at most kCapacity names); earlier matches
    // are dropped. An empty name is invalid, so an empty view can stand for
    // a line that is not answered at all.
    void match(std::span<const std::string_view> names, Switches switches);

    // The match of names[i], or null when that name is invalid.
    const Match* operator[](std::size_t i) const noexcept {
        return matches_[i] ? &*matches_[i] : nullptr;
    }

private:
    std::optional<Match> matches_[kCapacity];
};

}  // namespace vexlo::lines
