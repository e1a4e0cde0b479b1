// The walk as plainly as it can be written, over any RuleTrie, checking
// every index and label it reads: the model that the fast walks, which read
// proven tables without a check, are tested against. A table that fails a
// check raises a Fault; a negative child is no child.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/fault.h"
#include "rules/rule_trie.h"
#include "rules/rule_view.h"

namespace vexlo::testing {

// The label of edge `e`, once it is seen to lie inside the pool on UTF-8
// character boundaries.
inline std::string_view reference_label(const RuleTrie& trie, std::uint32_t e) {
    const TrieEdge& edge = trie.edges[e];
    const std::string_view pool = trie.label_pool;
    const auto continuation = [&](std::size_t at) {
        return at < pool.size() && (static_cast<unsigned char>(pool[at]) & 0xC0) == 0x80;
    };
    if (edge.label_start > edge.label_end || edge.label_end > pool.size()) {
        throw Fault("reference walk: the label of edge " + std::to_string(e) + " lies outside the pool");
    }
    if (continuation(edge.label_start) || continuation(edge.label_end)) {
        throw Fault("reference walk: the label of edge " + std::to_string(e) + " splits a character");
    }
    return pool.substr(edge.label_start, edge.label_end - edge.label_start);
}

// The child of `node` whose edge label is `label`: a binary search over the
// node's run, each label it reads checked first.
inline std::optional<std::uint32_t> reference_child(const RuleTrie& trie, std::uint32_t node,
                                                    std::string_view label) {
    if (node >= trie.nodes.size()) {
        throw Fault("reference walk: node " + std::to_string(node) + " is outside the node table");
    }
    const TrieNode& n = trie.nodes[node];
    const std::uint64_t end = std::uint64_t{n.first_edge} + n.edge_count;
    if (end > trie.edges.size()) {
        throw Fault("reference walk: the run of node " + std::to_string(node) + " is outside the edge table");
    }
    std::uint64_t low = n.first_edge;
    std::uint64_t high = end;
    while (low < high) {
        const std::uint64_t mid = low + (high - low) / 2;
        if (reference_label(trie, static_cast<std::uint32_t>(mid)) < label) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    if (low == end || reference_label(trie, static_cast<std::uint32_t>(low)) != label) return std::nullopt;
    const std::int32_t child = trie.edges[low].child;
    if (child < 0) return std::nullopt;
    if (static_cast<std::uint64_t>(child) >= trie.nodes.size()) {
        throw Fault("reference walk: child " + std::to_string(child) + " is outside the node table");
    }
    return static_cast<std::uint32_t>(child);
}

// The public-suffix length of `name`, its labels cut at every '.' and taken
// from the right; on each node reached an exception beats a wildcard, and a
// wildcard beats a rule.
inline std::size_t reference_length(const RuleTrie& trie, std::string_view name, Switches switches) {
    std::size_t label_count = 1;
    for (const char c : name) label_count += c == '.';
    std::optional<std::size_t> length;
    std::uint32_t node = 0;
    std::size_t end = name.size();
    for (std::size_t consumed = 1; consumed <= label_count; ++consumed) {
        const std::size_t dot = name.rfind('.', end == 0 ? 0 : end - 1);
        const std::size_t start = consumed == label_count ? 0 : dot + 1;
        const std::optional<std::uint32_t> child = reference_child(trie, node, name.substr(start, end - start));
        if (!child) break;
        node = *child;
        const unsigned flags = trie.nodes[node].flags >> (switches.icann_only ? ICANN_SHIFT : 0);
        if (flags & EXCEPTION_ANY) {
            length = consumed - 1;
        } else if (flags & WILDCARD_ANY) {
            length = consumed < label_count ? consumed + 1 : consumed;
        } else if (flags & RULE_ANY) {
            length = consumed;
        }
        end = start == 0 ? 0 : start - 1;
    }
    return length ? *length : switches.accept_unknown ? 1 : 0;
}

}  // namespace vexlo::testing
