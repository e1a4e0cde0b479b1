// The label key of every edge, made at compile time beside the generated
// tables: the walk over compiled_rules() then decides most probes of the
// child search with one load from this array instead of reading the edge and
// then its label's bytes in the pool. The three tables are unchanged; the keys
// repeat what they hold in a form a probe can compare at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "rules/rule_trie.h"

namespace vexlo {

// trie_detail::label_key of a label, computed byte by byte so that it can run
// at compile time: the first eight bytes as a big-endian number, zero-padded.
constexpr std::uint64_t constant_label_key(std::string_view label) noexcept {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        key = (key << 8) | (i < label.size() ? static_cast<unsigned char>(label[i]) : 0u);
    }
    return key;
}

// The keys of edges 0 to kEdges - 1 of a table that passes_reader_checks.
template <std::size_t kEdges>
constexpr std::array<std::uint64_t, kEdges> edge_keys(const RuleTrie& trie) noexcept {
    std::array<std::uint64_t, kEdges> keys{};
    for (std::size_t e = 0; e < kEdges; ++e) {
        const TrieEdge& edge = trie.edges[e];
        keys[e] = constant_label_key(
            trie.label_pool.substr(edge.label_start, edge.label_end - edge.label_start));
    }
    return keys;
}

// True when no label holds a zero byte. Then two keys that are equal while
// the searched label has fewer than eight bytes mean that the stored label is
// the searched one or a prefix of it (the label going on with zero bytes):
// in both cases it does not sort after the label, so a probe needs no more
// than the key to decide.
constexpr bool labels_free_of_nul(const RuleTrie& trie) noexcept {
    for (const char byte : trie.label_pool) {
        if (byte == '\0') return false;
    }
    return true;
}

}  // namespace vexlo
