// The child search's table checks, run over a whole set of tables at once.
// The generated tables assert at compile time that they pass (see
// tools/compile_rule_tables.cpp), which is what lets the walk over compiled_rules()
// leave the checks out of every probe; any other RuleTrie is still checked
// probe by probe and faults as before.
#pragma once

#include <cstdint>

#include "rules/rule_trie.h"

namespace vexlo {

constexpr bool is_utf8_continuation(char byte) noexcept {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// True when no search on `trie` can fail a check: the root exists, every
// node's edge run lies inside the edge table, every label lies inside the pool
// and starts and ends on UTF-8 character boundaries, and every non-negative
// child is below the node count. Children come only from edges, so the nodes
// that a walk reaches are then in range too.
constexpr bool passes_reader_checks(const RuleTrie& trie) noexcept {
    if (trie.nodes.empty()) return false;
    for (const TrieNode& node : trie.nodes) {
        if (std::uint64_t{node.first_edge} + node.edge_count > trie.edges.size()) return false;
    }
    const std::string_view pool = trie.label_pool;
    for (const TrieEdge& edge : trie.edges) {
        if (edge.label_start > edge.label_end || edge.label_end > pool.size()) return false;
        if (edge.label_start < pool.size() && is_utf8_continuation(pool[edge.label_start])) {
            return false;
        }
        if (edge.label_end < pool.size() && is_utf8_continuation(pool[edge.label_end])) return false;
        if (edge.child >= 0 && static_cast<std::uint64_t>(edge.child) >= trie.nodes.size()) {
            return false;
        }
    }
    return true;
}

// True when no label of `trie` has more than `max_bytes` bytes.
constexpr bool labels_at_most(const RuleTrie& trie, std::size_t max_bytes) noexcept {
    for (const TrieEdge& edge : trie.edges) {
        if (edge.label_end - edge.label_start > max_bytes) return false;
    }
    return true;
}

}  // namespace vexlo
