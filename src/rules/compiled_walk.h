// The walk over the compiled tables, in a header so that a caller's fast path
// can have it inlined: the short-name path of the module's common call is
// then one function from the argument to the result.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/find_dot.h"
#include "rules/compiled_shape.h"
#include "rules/rule_trie.h"

namespace vexlo {

namespace compiled_walk_detail {

// The walk over compiled_rules(), for one rule view. The same steps as walk,
// with as little live across the child search as possible so that the
// search keeps its values in registers: the view is a template argument,
// "no rule applied yet" is a length of kNoRule, and the tables are plain
// pointers (the compiled tables passed every check of the search when they
// were built, so none is repeated). Probes compare the edge keys made beside
// the tables (compiled_edge_keys): one load each, the edge and its label's
// bytes read only for the candidate left at the end and for the rare probe
// whose key equals the label's while the label has eight bytes or more.
inline constexpr std::size_t kNoRule = ~std::size_t{0};

// With kDotBits, `dots` is the text's dot bitmap (at most kDotBitmapBytes
// bytes): each label's start is then the width of the dots left before it.
template <bool kIcannOnly, bool kDotBits>
[[gnu::always_inline]] inline std::size_t walk_compiled(const char* const text, const std::size_t size, std::size_t label_count,
                          bool accept_unknown, std::uint64_t dots) noexcept {
    const RuleTrie& trie = compiled_rules();
    const TrieNode* const nodes = trie.nodes.data();
    const TrieEdge* const edges = trie.edges.data();
    const std::uint64_t* const keys = compiled_edge_keys().data();
    const char* const pool = trie.label_pool.data();

    std::uint32_t node = 0;
    std::size_t consumed = 0;
    std::size_t length = kNoRule;
    std::size_t end = size;
    while (true) {
        std::size_t start;
        if constexpr (kDotBits) {
            start = static_cast<std::size_t>(std::bit_width(dots));  // `dots` holds those before `end`
        } else {
            const char* const dot = previous_dot(text, text + end, text + size);
            start = dot != nullptr ? static_cast<std::size_t>(dot - text) + 1 : 0;
        }
        const TrieNode& n = nodes[node];
        std::size_t count = n.edge_count;
        if (count == 0) break;
        const std::size_t label_length = end - start;
        const std::uint64_t key = trie_detail::label_key_in(text, size, start, end);
        // The fixed-probe search of find_child_keyed over the node's run of
        // keys: the last edge whose label is not greater. A probe is one load
        // here, so conditional moves cost less than the branch that
        // find_child_keyed keeps for its two dependent loads: they never
        // mispredict, whatever the names.
        const std::uint64_t* run = keys + n.first_edge;
        const std::string_view label(text + start, label_length);
        const auto tie = [&](const std::uint64_t* at) {
            const TrieEdge& e = edges[at - keys];
            return !trie_detail::sorts_after_equal_key(
                std::string_view(pool + e.label_start, e.label_end - e.label_start), label);
        };
        // A key equal to the label's, when the label has fewer than eight
        // bytes, is the label itself or a prefix of it (no compiled label
        // holds a NUL): never greater. The root's run, the longest, has a
        // length known when compiling (the generated tables assert it).
        constexpr trie_detail::EqualKeyIsNotGreater key_decides;
        if (node == 0) {
            run = label_length < 8
                      ? trie_detail::search_keys_fixed<kCompiledRootEdgeCount>(run, key, key_decides)
                      : trie_detail::search_keys_fixed<kCompiledRootEdgeCount>(run, key, tie);
        } else {
            run = label_length < 8 ? trie_detail::search_keys(run, count, key, key_decides)
                                   : trie_detail::search_keys(run, count, key, tie);
        }
        const TrieEdge& candidate = edges[run - keys];
        if (*run != key || candidate.label_end - candidate.label_start != label_length ||
            !trie_detail::equal_tail_with_equal_key(pool + candidate.label_start, text + start,
                                                    label_length)) {
            break;
        }
        const std::int32_t child = candidate.child;
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
        if constexpr (kDotBits) dots ^= std::uint64_t{1} << end;
    }
    if (length != kNoRule) return length;
    return accept_unknown ? 1 : 0;
}

}  // namespace compiled_walk_detail

// public_suffix_length for a text of at most kDotBitmapBytes bytes whose dot
// bitmap is `lowered_dots`: no size test, nothing that can fail.
[[gnu::always_inline]] inline std::size_t public_suffix_length_short(
    const char* lowered, std::size_t size, std::uint64_t lowered_dots, std::size_t label_count,
    bool accept_unknown, bool icann_only) noexcept {
    using compiled_walk_detail::walk_compiled;
    return icann_only
               ? walk_compiled<true, true>(lowered, size, label_count, accept_unknown, lowered_dots)
               : walk_compiled<false, true>(lowered, size, label_count, accept_unknown, lowered_dots);
}

}  // namespace vexlo
