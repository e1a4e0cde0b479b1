// How many rightmost labels of a lowercased, validated name form its public
// suffix under the compiled rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "rules/rule_trie.h"

namespace vexlo {

// `lowered` is non-empty, has no empty label and exactly `label_count` labels
// (normalize_domain guarantees all three). The result is 0..label_count; 0
// means the name has no public suffix. This one walks compiled_rules().
std::size_t public_suffix_length(std::string_view lowered, std::size_t label_count,
                                 bool accept_unknown, bool icann_only);

// The same, given the dot bitmap of `lowered` (common/find_dot.h), which is
// read when `lowered` has at most kDotBitmapBytes bytes: labels are then
// found without searching the text.
std::size_t public_suffix_length(std::string_view lowered, std::uint64_t lowered_dots,
                                 std::size_t label_count, bool accept_unknown, bool icann_only);

// The same walk over any tables, checking them at every probe.
std::size_t public_suffix_length(std::string_view lowered, std::size_t label_count,
                                 bool accept_unknown, bool icann_only, const RuleTrie& trie);

}  // namespace vexlo
