// How a node's rules set the public-suffix length, once for every walk. The
// rule view is the node's flags, shifted right by ICANN_SHIFT for the
// ICANN-only view; its low three bits are tested in a fixed order, so an
// exception overrides a wildcard or a rule on the same node, and a wildcard
// overrides a rule.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rules/rule_trie.h"

namespace vexlo {

// The switches that take effect in matching.
struct Switches {
    bool accept_unknown = true;
    bool icann_only = false;
};

// The length of a walk on which no rule has applied yet.
inline constexpr std::size_t kNoRule = ~std::size_t{0};

inline unsigned rule_view(std::uint8_t flags, bool icann_only) noexcept {
    return static_cast<unsigned>(flags) >> (icann_only ? ICANN_SHIFT : 0);
}

// The public-suffix length after the walk has moved to a node whose rule
// view is `view`, having taken `consumed` of the name's `label_count` labels
// (the node's own included); `length` is the length before. Without a branch
// on the bits, which are as unpredictable as the names: an exception makes
// the name less its last label public, a wildcard one label more than the
// node when a label is left, a rule the node itself.
[[gnu::always_inline]] inline std::size_t apply_rules(unsigned view, std::size_t consumed,
                                                      std::size_t label_count,
                                                      std::size_t length) noexcept {
    const std::size_t wildcard = consumed + (consumed < label_count ? 1 : 0);
    length = (view & RULE_ANY) ? consumed : length;
    length = (view & WILDCARD_ANY) ? wildcard : length;
    return (view & EXCEPTION_ANY) ? consumed - 1 : length;
}

// The walk's answer once it has ended.
inline std::size_t finished_length(std::size_t length, bool accept_unknown) noexcept {
    return length != kNoRule ? length : (accept_unknown ? 1 : 0);
}

}  // namespace vexlo
