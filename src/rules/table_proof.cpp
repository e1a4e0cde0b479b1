// What a failed check of the tables means, and the one place where tables
// that are not yet proven become a RuleTables. Generated tables never fail:
// a failure means that the tables in hand are not the ones the generator or
// the list loader makes, and it is a Fault, never a lookup result.
#include "rules/table_proof.h"

#include "common/fault.h"

namespace vexlo {

namespace {
std::string n(std::uint64_t value) { return std::to_string(value); }

std::string edge_label(const RuleTrie& trie, std::uint32_t e) {
    const TrieEdge& edge = trie.edges[e];
    return "the label of edge " + n(e) + " (bytes " + n(edge.label_start) + " to " +
           n(edge.label_end) + ")";
}
}  // namespace

std::string describe(const TableFault& fault, const RuleTrie& trie) {
    using Kind = TableFault::Kind;
    const std::uint32_t i = fault.index;
    std::string text = "rule trie: ";
    switch (fault.kind) {
        case Kind::kNoRoot:
            return text + "the node table is empty (no root)";
        case Kind::kTooLarge:
            return text + n(trie.nodes.size()) + " nodes and " + n(trie.edges.size()) +
                   " edges are more than 32-bit indexes can address";
        case Kind::kKeyCount:
            return text + "there are not as many label keys as edges";
        case Kind::kRunOutside: {
            const TrieNode& node = trie.nodes[i];
            return text + "the edge run of node " + n(i) + " (first_edge " + n(node.first_edge) +
                   ", edge_count " + n(node.edge_count) + ") lies outside the edge table of " +
                   n(trie.edges.size()) + " edges";
        }
        case Kind::kLabelOutside:
            return text + edge_label(trie, i) + " does not lie inside the label pool of " +
                   n(trie.label_pool.size()) + " bytes";
        case Kind::kLabelSplitsCharacter:
            return text + edge_label(trie, i) + " does not fall on UTF-8 character boundaries";
        case Kind::kLabelTooLong:
            return text + edge_label(trie, i) + " is longer than " + n(kMaxLabelBytes) + " bytes";
        case Kind::kLabelHoldsNul:
            return text + edge_label(trie, i) + " holds a NUL byte";
        case Kind::kRunUnsorted:
            return text + "the label of edge " + n(i) +
                   " does not sort after the one before it in its node's run";
        case Kind::kKeyMismatch:
            return text + "the key of edge " + n(i) + " is not its label's";
        case Kind::kChildOutside:
            return text + "child " + n(static_cast<std::uint32_t>(trie.edges[i].child)) + " of edge " +
                   n(i) + " is not below the node count " + n(trie.nodes.size());
        case Kind::kChildIsRoot:
            return text + "edge " + n(i) + " leads back to the root";
        case Kind::kSpellingNodeOutside:
            return text + "listed spelling " + n(i) + " is for the root or a node past the last";
        case Kind::kSpellingsUnsorted:
            return text + "listed spelling " + n(i) +
                   " is not for a later node than the one before it";
        case Kind::kSpellingOutside:
            return text + "listed spelling " + n(i) + " is empty or lies outside its text";
        case Kind::kSpellingSplitsCharacter:
            return text + "listed spelling " + n(i) + " does not fall on UTF-8 character boundaries";
    }
    return text + "unknown fault";
}

RuleTables proven_tables(const RuleTrie& trie, std::span<const std::uint64_t> keys,
                         const ListedSpellings& spellings) {
    std::optional<TableFault> fault = check_tables(trie, keys);
    if (!fault) fault = check_spellings(trie.nodes.size(), spellings);
    if (fault) raise_fault(describe(*fault, trie));
    return proven_view(trie, keys, spellings);
}

}  // namespace vexlo
