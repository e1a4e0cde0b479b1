// The walk for one name: down the trie from the root with the name's labels
// taken from the right, each step one child search, the rules of each node
// reached applied as it goes. The walk stops at the first label that has no
// child, so it looks at no more than one label beyond the deepest matching
// node however many labels the name has.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/dots.h"
#include "rules/child_search.h"
#include "rules/label_key.h"
#include "rules/rule_tables.h"
#include "rules/rule_view.h"

namespace vexlo {

// The walk of a lowercased, validated name: text[0, size) non-empty,
// without an empty label, with `label_count` labels and the dot bitmap
// `dots`. Every node reached is handed to `keeper` (rules/rule_view.h:
// SuffixLength or RuleTrace), which keeps what its caller asks. What the
// tables let the walk skip is a choice made when compiling: kRootEdges, when
// not 0, is the root's edge count, known for the compiled tables, whose
// search of the root then runs unrolled; kFitsBitmap says that the name has
// at most kDotBitmapBytes bytes. Inline, so that the single call's fast path
// is one function from its argument to its result.
template <std::size_t kRootEdges, bool kFitsBitmap, class Keeper>
[[gnu::always_inline]] inline void walk_rules(const RuleTables& tables, const char* text,
                                              std::size_t size, std::uint64_t dots,
                                              std::size_t label_count, Keeper& keeper) noexcept {
    const TrieNode* const nodes = tables.nodes;
    LabelCursor<kFitsBitmap> labels(text, size, dots);
    std::uint32_t node = 0;
    std::size_t consumed = 0;
    while (true) {
        // A leaf ends the walk before its label is cut.
        if (nodes[node].edge_count == 0) break;
        const std::size_t start = labels.start();
        const std::uint64_t key = label_key_in(text, size, start, labels.end());
        const std::int32_t child = find_child<kRootEdges>(tables, node, text + start,
                                                          labels.end() - start, key);
        if (child == 0) break;
        node = static_cast<std::uint32_t>(child);
        keeper.reached(node, nodes[node].flags, ++consumed, label_count);
        if (start == 0) break;
        labels.step(start);
    }
}

// The public-suffix length of such a name: 0..label_count; 0 means that the
// name has no public suffix.
template <std::size_t kRootEdges, bool kIcannOnly, bool kFitsBitmap = false>
[[gnu::always_inline]] inline std::size_t walk_name(const RuleTables& tables, const char* text,
                                                    std::size_t size, std::uint64_t dots,
                                                    std::size_t label_count,
                                                    bool accept_unknown) noexcept {
    SuffixLength<kIcannOnly> keeper;
    walk_rules<kRootEdges, kFitsBitmap>(tables, text, size, dots, label_count, keeper);
    return finished_length(keeper.length, accept_unknown);
}

}  // namespace vexlo
