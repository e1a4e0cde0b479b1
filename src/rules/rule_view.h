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

// What a walk keeps of the nodes it reaches. Every walk takes one of these
// two keepers; the walk itself is written once.
//
// SuffixLength: the public-suffix length in one view, which is all that the
// six answers need.
template <bool kIcannOnly>
struct SuffixLength {
    std::size_t length = kNoRule;

    [[gnu::always_inline]] void reached(std::uint32_t, std::uint8_t flags, std::size_t consumed,
                                        std::size_t label_count) noexcept {
        length = apply_rules(rule_view(flags, kIcannOnly), consumed, label_count, length);
    }
};

// The length in both views at once, and the node whose rules decided the
// full view: the last node on the path that holds a rule of any kind, in
// either section. (In the ICANN-only view a private node has no rule, so the
// two views may be decided by different nodes; only the full view's is kept.)
struct RuleTrace {
    std::size_t length = kNoRule;
    std::size_t icann_length = kNoRule;
    std::uint32_t rule_node = 0;    // 0: no rule applied
    std::uint32_t rule_labels = 0;  // the labels of the name that rule_node stands for

    [[gnu::always_inline]] void reached(std::uint32_t node, std::uint8_t flags,
                                        std::size_t consumed, std::size_t label_count) noexcept {
        length = apply_rules(rule_view(flags, false), consumed, label_count, length);
        icann_length = apply_rules(rule_view(flags, true), consumed, label_count, icann_length);
        const bool decides = (flags & (RULE_ANY | WILDCARD_ANY | EXCEPTION_ANY)) != 0;
        rule_node = decides ? node : rule_node;
        rule_labels = decides ? static_cast<std::uint32_t>(consumed) : rule_labels;
    }
};

// What a RuleTrace says once its walk has ended: the length in both views
// and the node of the rule that decided the full view. Lengths are at most
// one more than the trie is deep, so 32 bits hold them.
struct Verdict {
    std::uint32_t public_length;  // 0..label_count; 0: no public suffix
    std::uint32_t icann_length;   // the same in the ICANN-only view
    std::uint32_t rule_node;      // 0: no listed rule applied
    std::uint32_t rule_labels;    // the labels of the name that rule_node stands for
};

inline Verdict finished_verdict(const RuleTrace& trace, bool accept_unknown) noexcept {
    return {static_cast<std::uint32_t>(finished_length(trace.length, accept_unknown)),
            static_cast<std::uint32_t>(finished_length(trace.icann_length, accept_unknown)),
            trace.rule_node, trace.rule_labels};
}

// The rule of a node that applies in the full view: an exception before a
// wildcard, a wildcard before a plain rule (apply_rules' order). `flags` has
// a rule of some kind.
inline std::uint8_t deciding_kind(std::uint8_t flags) noexcept {
    return (flags & EXCEPTION_ANY) ? EXCEPTION_ANY : (flags & WILDCARD_ANY) ? WILDCARD_ANY : RULE_ANY;
}

// Whether the rule that applies on a node in the full view is in the ICANN
// section (a rule listed in both sections counts as ICANN).
inline bool decided_by_icann(std::uint8_t flags) noexcept {
    return (flags & (deciding_kind(flags) << ICANN_SHIFT)) != 0;
}

}  // namespace vexlo
