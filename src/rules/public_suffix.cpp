#include "rules/public_suffix.h"

#include <bit>
#include <cstdint>

#include "common/find_dot.h"
#include "rules/compiled_walk.h"

namespace vexlo {

namespace {

// Walks the trie from the root with the labels taken from the right end of the
// text. The walk never looks further left than one label past the deepest node
// that matches, so long names cost no more than short ones.
template <class Checks>
std::size_t walk(std::string_view lowered, std::size_t label_count, bool accept_unknown,
                 bool icann_only, const RuleTrie& tables) {
    // A copy the compiler knows nothing else writes, so the table addresses
    // stay in registers across the label comparisons.
    const RuleTrie trie = tables;
    // The ICANN bits are the ANY bits shifted left; shifting them back gives
    // the ICANN-only view in the same low bits.
    const unsigned view_shift = icann_only ? ICANN_SHIFT : 0;
    const char* const text = lowered.data();

    std::uint32_t node = 0;
    std::size_t consumed = 0;
    std::size_t length = 0;
    bool matched = false;
    std::size_t end = lowered.size();
    while (true) {
        const char* const dot = previous_dot(text, text + end, text + lowered.size());
        const std::size_t start = dot != nullptr ? static_cast<std::size_t>(dot - text) + 1 : 0;
        const std::size_t before = consumed++;
        const std::string_view label(text + start, end - start);
        NoProbeObserver none;
        const std::optional<std::uint32_t> child = find_child_observed<Checks>(trie, node, label, none);
        if (!child) {
            break;
        }
        const unsigned view = static_cast<unsigned>(trie.nodes[*child].flags) >> view_shift;
        if (view & EXCEPTION_ANY) {
            length = before;
            matched = true;
        } else if (view & WILDCARD_ANY) {
            length = consumed < label_count ? before + 2 : before + 1;
            matched = true;
        } else if (view & RULE_ANY) {
            length = before + 1;
            matched = true;
        }
        node = *child;
        if (start == 0) {
            break;
        }
        end = start - 1;
    }
    if (matched) {
        return length;
    }
    return accept_unknown ? 1 : 0;
}

using compiled_walk_detail::walk_compiled;

template <bool kDotBits>
std::size_t walk_compiled(std::string_view lowered, std::size_t label_count, bool accept_unknown,
                          bool icann_only, std::uint64_t dots) {
    return icann_only ? walk_compiled<true, kDotBits>(lowered.data(), lowered.size(), label_count,
                                                      accept_unknown, dots)
                      : walk_compiled<false, kDotBits>(lowered.data(), lowered.size(), label_count,
                                                       accept_unknown, dots);
}

}  // namespace

// The compiled tables passed every check of the search when they were built
// (the static_assert in the generated rule_tables.cpp), so none is repeated.
std::size_t public_suffix_length(std::string_view lowered, std::size_t label_count,
                                 bool accept_unknown, bool icann_only) {
    return walk_compiled<false>(lowered, label_count, accept_unknown, icann_only, 0);
}

std::size_t public_suffix_length(std::string_view lowered, std::uint64_t lowered_dots,
                                 std::size_t label_count, bool accept_unknown, bool icann_only) {
    if (lowered.size() <= kDotBitmapBytes) {
        return walk_compiled<true>(lowered, label_count, accept_unknown, icann_only, lowered_dots);
    }
    return walk_compiled<false>(lowered, label_count, accept_unknown, icann_only, 0);
}

std::size_t public_suffix_length(std::string_view lowered, std::size_t label_count,
                                 bool accept_unknown, bool icann_only, const RuleTrie& trie) {
    return walk<CheckEveryProbe>(lowered, label_count, accept_unknown, icann_only, trie);
}

}  // namespace vexlo
