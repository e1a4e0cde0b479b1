// Hand-built rule tables for tests: a tiny builder that lays out a set of
// rules the way the generator does (breadth-first, sorted runs, shared pool),
// proven by the owner of run-time tables for the walks, and helpers to read
// any tables back.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "reference_walk.h"
#include "rules/owned_tables.h"
#include "rules/rule_trie.h"

namespace vexlo::testing {

// Owns the tables that a RuleTrie views; tests may edit them to break them.
struct TestTrie {
    std::string pool;
    std::vector<TrieNode> nodes;
    std::vector<TrieEdge> edges;

    RuleTrie view() const { return RuleTrie{pool, nodes, edges}; }
};

inline std::vector<std::string> split_labels(std::string_view name) {
    std::vector<std::string> labels;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = name.find('.', start);
        labels.emplace_back(name.substr(start, dot == std::string_view::npos ? dot : dot - start));
        if (dot == std::string_view::npos) return labels;
        start = dot + 1;
    }
}

// Each rule is a name (labels as written, leftmost first) and the flag bits
// its node gets.
inline TestTrie build_trie(const std::vector<std::pair<std::string, std::uint8_t>>& rules) {
    struct Node {
        std::map<std::string, std::size_t> children;  // std::string order is byte order
        std::uint8_t flags = 0;
    };
    std::vector<Node> tree(1);
    for (const auto& [name, flags] : rules) {
        std::size_t at = 0;
        const auto labels = split_labels(name);
        for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
            auto found = tree[at].children.find(*label);
            if (found == tree[at].children.end()) {
                tree.emplace_back();
                found = tree[at].children.emplace(*label, tree.size() - 1).first;
            }
            at = found->second;
        }
        tree[at].flags |= flags;
    }
    TestTrie trie;
    std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> spans;
    std::vector<std::size_t> order{0};
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Node& node = tree[order[i]];
        trie.nodes.push_back({static_cast<std::uint32_t>(trie.edges.size()),
                              static_cast<std::uint16_t>(node.children.size()), node.flags});
        for (const auto& [label, child] : node.children) {
            auto span = spans.find(label);
            if (span == spans.end()) {
                const auto start = static_cast<std::uint32_t>(trie.pool.size());
                trie.pool += label;
                span = spans.emplace(label, std::pair{start, static_cast<std::uint32_t>(trie.pool.size())}).first;
            }
            trie.edges.push_back({span->second.first, span->second.second,
                                  static_cast<std::int32_t>(order.size())});
            order.push_back(child);
        }
    }
    return trie;
}

inline std::string_view edge_label(const RuleTrie& trie, std::uint32_t edge) {
    const TrieEdge& e = trie.edges[edge];
    return trie.label_pool.substr(e.label_start, e.label_end - e.label_start);
}

// Hand-built tables as the walks read them: owned and proven, as tables
// built at run time are (a Fault when they are not sound).
inline OwnedTables prove(TestTrie trie) {
    return OwnedTables(std::move(trie.nodes), std::move(trie.edges), std::move(trie.pool));
}

// The node for a name given leftmost label first, or -1 when the trie lacks it.
inline std::int64_t node_of(const RuleTrie& trie, std::string_view name) {
    const auto labels = split_labels(name);
    std::uint32_t node = 0;
    for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
        const auto child = reference_child(trie, node, *label);
        if (!child) return -1;
        node = *child;
    }
    return node;
}

// Counts the probes of one child search (find_child's Probes hook).
struct ProbeCounter {
    int probes = 0;
    void probe() noexcept { ++probes; }
};

inline std::size_t count_labels(std::string_view name) {
    std::size_t count = 1;
    for (char c : name) count += c == '.';
    return count;
}

}  // namespace vexlo::testing

namespace vexlo::testing {

// The name each node stands for ("" for the root), with its depth in labels.
struct NodeName {
    std::string name;
    std::uint32_t parent = 0;
    int depth = 0;
};

inline std::vector<NodeName> node_names(const RuleTrie& trie) {
    std::vector<NodeName> names(trie.nodes.size());
    for (std::uint32_t n = 0; n < trie.nodes.size(); ++n) {
        const TrieNode& node = trie.nodes[n];
        for (std::uint32_t e = node.first_edge; e < node.first_edge + node.edge_count; ++e) {
            if (trie.edges[e].child < 0) continue;  // leads nowhere
            NodeName& child = names[trie.edges[e].child];
            child.name = std::string(edge_label(trie, e)) + (n == 0 ? "" : "." + names[n].name);
            child.parent = n;
            child.depth = names[n].depth + 1;
        }
    }
    return names;
}

}  // namespace vexlo::testing
