#include "rules/public_suffix.h"

#include <cstdint>

#include "common/find_dot.h"

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

// The walk over compiled_rules(), for one rule view. The same steps as walk,
// with as little live across the child search as possible so that the
// search keeps its values in registers: the view is a template argument,
// "no rule applied yet" is a length of kNoRule, and the tables are plain
// pointers (the compiled tables passed every check of the search when they
// were built, so none is repeated).
constexpr std::size_t kNoRule = ~std::size_t{0};

template <bool kIcannOnly>
std::size_t walk_compiled(const char* const text, const std::size_t size, std::size_t label_count,
                          bool accept_unknown) {
    const RuleTrie& trie = compiled_rules();
    const TrieNode* const nodes = trie.nodes.data();
    const TrieEdge* const edges = trie.edges.data();
    const char* const pool = trie.label_pool.data();

    std::uint32_t node = 0;
    std::size_t consumed = 0;
    std::size_t length = kNoRule;
    std::size_t end = size;
    while (true) {
        const char* const dot = previous_dot(text, text + end, text + size);
        const std::size_t start = dot != nullptr ? static_cast<std::size_t>(dot - text) + 1 : 0;
        const TrieNode& n = nodes[node];
        std::size_t count = n.edge_count;
        if (count == 0) break;
        const std::uint64_t key = trie_detail::label_key_in(text, size, start, end);
        const std::string_view label(text + start, end - start);
        // The fixed-probe search of find_child_keyed, over a pointer into
        // the node's run: the last edge whose label is not greater.
        const TrieEdge* run = edges + n.first_edge;
        while (count > 1) {
            const std::size_t half = count / 2;
            const TrieEdge* const mid = run + half;
            const std::size_t stored_length = mid->label_end - mid->label_start;
            const trie_detail::StoredLabel stored{
                std::string_view(pool + mid->label_start, stored_length),
                trie_detail::keep_leading_bounded(
                    trie_detail::big_endian_word(pool + mid->label_start), stored_length)};
            if (!trie_detail::sorts_after(stored, label, key)) {
                run = mid;
                asm volatile("" : "+r"(run));  // a branch, not a conditional move
            }
            count -= half;
        }
        const std::size_t stored_length = run->label_end - run->label_start;
        const char* const stored_text = pool + run->label_start;
        if (trie_detail::keep_leading_bounded(trie_detail::big_endian_word(stored_text),
                                              stored_length) != key ||
            !trie_detail::equal_with_equal_key(std::string_view(stored_text, stored_length),
                                               label)) {
            break;
        }
        const std::int32_t child = run->child;
        if (child < 0) break;
        node = static_cast<std::uint32_t>(child);
        const unsigned view = static_cast<unsigned>(nodes[node].flags) >> (kIcannOnly ? ICANN_SHIFT : 0);
        ++consumed;
        if (view & EXCEPTION_ANY) {
            length = consumed - 1;
        } else if (view & WILDCARD_ANY) {
            length = consumed < label_count ? consumed + 1 : consumed;
        } else if (view & RULE_ANY) {
            length = consumed;
        }
        if (start == 0) break;
        end = start - 1;
    }
    if (length != kNoRule) return length;
    return accept_unknown ? 1 : 0;
}

}  // namespace

// The compiled tables passed every check of the search when they were built
// (the static_assert in the generated rule_tables.cpp), so none is repeated.
std::size_t public_suffix_length(std::string_view lowered, std::size_t label_count,
                                 bool accept_unknown, bool icann_only) {
    return icann_only
               ? walk_compiled<true>(lowered.data(), lowered.size(), label_count, accept_unknown)
               : walk_compiled<false>(lowered.data(), lowered.size(), label_count, accept_unknown);
}

std::size_t public_suffix_length(std::string_view lowered, std::size_t label_count,
                                 bool accept_unknown, bool icann_only, const RuleTrie& trie) {
    return walk<CheckEveryProbe>(lowered, label_count, accept_unknown, icann_only, trie);
}

}  // namespace vexlo
