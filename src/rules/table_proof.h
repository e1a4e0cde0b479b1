// The proof that lets the walks read a set of tables without a check per
// probe: every node's edge run lies inside the edge table, every label lies
// inside the pool on UTF-8 character boundaries, has at most kMaxLabelBytes
// bytes and no NUL (so that a key alone decides a probe of a short label),
// every run is sorted strictly by label bytes, every key is its label's, and
// every child is below the node count and not the root. Constant-evaluated
// for the generated tables (a static_assert in their source), run once for
// tables built at run time; one function either way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rules/label_key.h"
#include "rules/rule_tables.h"
#include "rules/rule_trie.h"

namespace vexlo {

struct TableFault {
    enum class Kind : std::uint8_t {
        kNoRoot,
        kRunOutside,      // node `index`
        kLabelOutside,    // edge `index`
        kLabelSplitsCharacter,
        kLabelTooLong,
        kLabelHoldsNul,
        kRunUnsorted,     // edge `index` does not sort after the one before
        kKeyMismatch,
        kChildOutside,
        kChildIsRoot,
        kKeyCount,
        kTooLarge,
        kSpellingNodeOutside,  // spelling `index`: its node is the root or past the last
        kSpellingsUnsorted,    // spelling `index` is not for a later node than the one before
        kSpellingOutside,      // spelling `index`: its text is empty or outside the text
        kSpellingSplitsCharacter,
    };
    Kind kind;
    std::uint32_t index;
};

namespace table_proof_detail {

constexpr bool is_utf8_continuation(char byte) noexcept {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace table_proof_detail

// The first check that `trie` and `keys` fail, or none.
constexpr std::optional<TableFault> check_tables(const RuleTrie& trie,
                                                 std::span<const std::uint64_t> keys) noexcept {
    using Kind = TableFault::Kind;
    using table_proof_detail::is_utf8_continuation;
    if (trie.nodes.empty()) return TableFault{Kind::kNoRoot, 0};
    // Node indexes are 31-bit (TrieEdge::child), edge indexes 32-bit.
    if (trie.nodes.size() > 0x80000000u || trie.edges.size() > 0xFFFFFFFFu) {
        return TableFault{Kind::kTooLarge, 0};
    }
    if (keys.size() != trie.edges.size()) return TableFault{Kind::kKeyCount, 0};
    const std::string_view pool = trie.label_pool;
    for (std::size_t e = 0; e < trie.edges.size(); ++e) {
        const TrieEdge& edge = trie.edges[e];
        const auto at = static_cast<std::uint32_t>(e);
        if (edge.label_start > edge.label_end || edge.label_end > pool.size()) {
            return TableFault{Kind::kLabelOutside, at};
        }
        if ((edge.label_start < pool.size() && is_utf8_continuation(pool[edge.label_start])) ||
            (edge.label_end < pool.size() && is_utf8_continuation(pool[edge.label_end]))) {
            return TableFault{Kind::kLabelSplitsCharacter, at};
        }
        const std::string_view label = pool.substr(edge.label_start, edge.label_end - edge.label_start);
        if (label.size() > kMaxLabelBytes) return TableFault{Kind::kLabelTooLong, at};
        for (const char byte : label) {
            if (byte == '\0') return TableFault{Kind::kLabelHoldsNul, at};
        }
        if (keys[e] != label_key(label)) return TableFault{Kind::kKeyMismatch, at};
        if (edge.child >= 0 && static_cast<std::uint64_t>(edge.child) >= trie.nodes.size()) {
            return TableFault{Kind::kChildOutside, at};
        }
        if (edge.child == 0) return TableFault{Kind::kChildIsRoot, at};
    }
    for (std::size_t n = 0; n < trie.nodes.size(); ++n) {
        const TrieNode& node = trie.nodes[n];
        if (std::uint64_t{node.first_edge} + node.edge_count > trie.edges.size()) {
            return TableFault{Kind::kRunOutside, static_cast<std::uint32_t>(n)};
        }
        for (std::uint32_t e = node.first_edge + 1; e < node.first_edge + node.edge_count; ++e) {
            const TrieEdge& before = trie.edges[e - 1];
            const TrieEdge& edge = trie.edges[e];
            const std::string_view a = pool.substr(before.label_start, before.label_end - before.label_start);
            const std::string_view b = pool.substr(edge.label_start, edge.label_end - edge.label_start);
            if (!(a < b)) return TableFault{Kind::kRunUnsorted, e};
        }
    }
    return std::nullopt;
}

// The first check that the listed spellings of tables of `node_count` nodes
// fail, or none: each for a node other than the root, in strictly rising
// order of node, its text non-empty, inside the spelling text and on UTF-8
// character boundaries.
constexpr std::optional<TableFault> check_spellings(std::size_t node_count,
                                                    const ListedSpellings& spellings) noexcept {
    using Kind = TableFault::Kind;
    using table_proof_detail::is_utf8_continuation;
    const std::string_view text = spellings.text;
    for (std::size_t i = 0; i < spellings.entries.size(); ++i) {
        const ListedSpelling& spelling = spellings.entries[i];
        const auto at = static_cast<std::uint32_t>(i);
        if (spelling.node == 0 || spelling.node >= node_count) {
            return TableFault{Kind::kSpellingNodeOutside, at};
        }
        if (i != 0 && spellings.entries[i - 1].node >= spelling.node) {
            return TableFault{Kind::kSpellingsUnsorted, at};
        }
        if (spelling.text_start >= spelling.text_end || spelling.text_end > text.size()) {
            return TableFault{Kind::kSpellingOutside, at};
        }
        if (is_utf8_continuation(text[spelling.text_start]) ||
            (spelling.text_end < text.size() && is_utf8_continuation(text[spelling.text_end]))) {
            return TableFault{Kind::kSpellingSplitsCharacter, at};
        }
    }
    return std::nullopt;
}

// The key of each of the first kEdges edges' labels, in edge order: made by
// the compiler beside the generated tables.
template <std::size_t kEdges>
constexpr std::array<std::uint64_t, kEdges> label_keys(const RuleTrie& trie) noexcept {
    std::array<std::uint64_t, kEdges> keys{};
    for (std::size_t e = 0; e < kEdges; ++e) {
        const TrieEdge& edge = trie.edges[e];
        keys[e] = label_key(trie.label_pool.substr(edge.label_start, edge.label_end - edge.label_start));
    }
    return keys;
}

// What a TableFault means, for a Fault's message.
std::string describe(const TableFault& fault, const RuleTrie& trie);

// The view the walks read, of tables that passed check_tables and
// check_spellings (the caller vouches for it; see proven_tables for tables
// that are not yet proven). Everything viewed must outlive it.
constexpr RuleTables proven_view(const RuleTrie& trie, std::span<const std::uint64_t> keys,
                                 const ListedSpellings& spellings = {}) noexcept {
    return RuleTables{trie.nodes.data(),
                      trie.edges.data(),
                      keys.data(),
                      trie.label_pool.data(),
                      static_cast<std::uint32_t>(trie.nodes.size()),
                      static_cast<std::uint32_t>(trie.edges.size()),
                      trie.label_pool.size(),
                      spellings.entries.data(),
                      static_cast<std::uint32_t>(spellings.entries.size()),
                      spellings.text.data(),
                      spellings.text.size()};
}

// The view of `trie`, `keys` and `spellings` after checking them; a Fault
// naming the first check they fail.
RuleTables proven_tables(const RuleTrie& trie, std::span<const std::uint64_t> keys,
                         const ListedSpellings& spellings = {});

}  // namespace vexlo
