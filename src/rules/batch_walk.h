// The walk for many names at once. The names go down the trie a level at a
// time together; within a level, names whose searches take the same number
// of probes run in groups whose probes are interleaved, so that one name's
// loads overlap another's wait. Each name takes the child search of the
// single walk (rules/child_search.h) and the same keepers of what it meets
// (rules/rule_view.h), and its answer equals walk_rules'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "rules/rule_tables.h"
#include "rules/rule_view.h"

namespace vexlo {

// Bytes before and after every WalkName's text that the walk may read (it
// loads whole words and masks what lies outside the name).
inline constexpr std::size_t kWalkPadding = 16;

// A normalised name: `text` is lowered, non-empty, without empty labels,
// with `label_count` labels and the dot bitmap `dots` (common/dots.h), and
// readable from kWalkPadding bytes before its start to kWalkPadding bytes
// after its end.
struct WalkName {
    const char* text;
    std::size_t size;
    std::size_t label_count;
    std::uint64_t dots;
};

// lengths[i] = the public-suffix length of names[i] under the switches.
// Throws std::bad_alloc when its workspace cannot be had.
void public_suffix_lengths(const RuleTables& tables, std::span<const WalkName> names,
                           Switches switches, std::uint32_t* lengths);

// verdicts[i] = the lengths of names[i] in both views and the rule that
// decided (rules/rule_view.h, RuleTrace). Throws std::bad_alloc as above.
void rule_verdicts(const RuleTables& tables, std::span<const WalkName> names, bool accept_unknown,
                   Verdict* verdicts);

}  // namespace vexlo
