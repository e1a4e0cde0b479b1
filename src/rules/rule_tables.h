// The tables as the walks read them: raw pointers and counts of a set of
// tables that passed every check of table_proof.h, and the key of every
// edge's label. The walks make no check of their own, so a RuleTables is
// only ever made from tables that were proven: the compiled ones when they
// were compiled, tables built at run time when they were built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "rules/rule_trie.h"

namespace vexlo {

struct RuleTables {
    const TrieNode* nodes;
    const TrieEdge* edges;
    const std::uint64_t* keys;  // label_key of each edge's label, in edge order
    const char* pool;
    std::uint32_t node_count;
    std::uint32_t edge_count;
    std::size_t pool_size;
    // The list's own spelling of the rules that only a twin put on a node,
    // sorted by node (rules/rule_trie.h).
    const ListedSpelling* spellings;
    std::uint32_t spelling_count;
    const char* spelling_text;
    std::size_t spelling_text_size;

    RuleTrie trie() const noexcept {
        return {{pool, pool_size}, {nodes, node_count}, {edges, edge_count}};
    }
    ListedSpellings listed_spellings() const noexcept {
        return {{spellings, spelling_count}, {spelling_text, spelling_text_size}};
    }
};

}  // namespace vexlo
