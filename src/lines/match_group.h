// Matching the names of a group of lines in one call: each name is
// normalised, then the whole group is walked by the batch walk, which keeps
// several names in flight together.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "columns/batch_walk.h"

#include "query/query.h"

namespace vexlo::lines {

class MatchGroup {
public:
    // Enough names that the batch walk's groups of equal searches fill up.
    static constexpr std::size_t kCapacity = 256;

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
    // The valid names' lowered texts again, padded for the batch walk.
    std::vector<char> arena_;
    std::vector<WalkName> walk_;
    std::vector<std::size_t> walk_slot_;
    std::vector<std::uint32_t> lengths_;
};

}  // namespace vexlo::lines
