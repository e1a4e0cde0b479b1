#include "list_file/trie_rules.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vexlo::list_file {

ParsedList rules_of_trie(const RuleTrie& trie, ListedSpellings spellings, std::string& names) {
    // A node with the span of its name in `names`: its edge's label, a dot
    // and its parent's name. Views are made once `names` has stopped growing.
    struct Named {
        std::uint32_t node;
        std::size_t start, size;
    };
    // The spellings are sorted by node.
    const auto twin_only = [&](std::uint32_t node) {
        const auto at = std::lower_bound(
            spellings.entries.begin(), spellings.entries.end(), node,
            [](const ListedSpelling& spelling, std::uint32_t n) { return spelling.node < n; });
        return at != spellings.entries.end() && at->node == node;
    };
    std::vector<Named> marked;
    std::vector<Named> stack{{0, 0, 0}};
    while (!stack.empty()) {
        const Named parent = stack.back();
        stack.pop_back();
        const TrieNode& n = trie.nodes[parent.node];
        for (std::uint32_t e = n.first_edge; e < n.first_edge + n.edge_count; ++e) {
            const TrieEdge& edge = trie.edges[e];
            if (edge.child < 0) continue;
            const std::size_t start = names.size();
            names += trie.label_pool.substr(edge.label_start, edge.label_end - edge.label_start);
            if (parent.node != 0) (names += '.').append(names, parent.start, parent.size);
            const Named child{static_cast<std::uint32_t>(edge.child), start, names.size() - start};
            if (trie.nodes[child.node].flags != 0 && !twin_only(child.node)) {
                marked.push_back(child);
            }
            stack.push_back(child);
        }
    }
    ParsedList list;
    for (const Named& m : marked) {
        const std::string_view name(names.data() + m.start, m.size);
        const std::uint8_t flags = trie.nodes[m.node].flags;
        for (const RuleKind kind : {RuleKind::rule, RuleKind::wildcard, RuleKind::exception}) {
            const auto any = static_cast<std::uint8_t>(kind);
            if (!(flags & any)) continue;
            const Section section =
                flags & (any << ICANN_SHIFT) ? Section::icann : Section::private_domains;
            list.rules.push_back({0, section, kind, name});
        }
    }
    return list;
}

}  // namespace vexlo::list_file
