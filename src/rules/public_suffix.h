// How many rightmost labels of a lowercased, validated name form its public
// suffix, over any proven tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "rules/rule_tables.h"
#include "rules/rule_view.h"

namespace vexlo {

// `lowered` is non-empty, has no empty label, `label_count` labels and the dot
// bitmap `dots` (common/dots.h). The result is 0..label_count; 0 means the
// name has no public suffix.
std::size_t public_suffix_length(const RuleTables& tables, std::string_view lowered,
                                 std::uint64_t dots, std::size_t label_count,
                                 Switches switches) noexcept;

// The lengths in both views and the rule that decided, for the same name.
Verdict rule_verdict(const RuleTables& tables, std::string_view lowered, std::uint64_t dots,
                     std::size_t label_count, bool accept_unknown) noexcept;

}  // namespace vexlo
