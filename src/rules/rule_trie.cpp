// The child search itself is inline (rules/find_child_impl.h); here are its
// cold paths. Generated tables never reach them: they mean the tables in hand
// are not the ones the generator makes.
#include "rules/rule_trie.h"

#include <string>

#include "common/fault.h"

namespace vexlo::trie_faults {

namespace {
std::string n(std::uint64_t value) { return std::to_string(value); }
}  // namespace

void node_outside(std::uint32_t node, std::size_t node_count) {
    raise_fault("rule trie: node " + n(node) + " is not below the node count " + n(node_count));
}

void edge_run_outside(std::uint32_t node, std::uint32_t first_edge, std::uint16_t edge_count,
                      std::size_t edge_total) {
    raise_fault("rule trie: the edge run of node " + n(node) + " (first_edge " + n(first_edge) +
                ", edge_count " + n(edge_count) + ") lies outside the edge table of " +
                n(edge_total) + " edges");
}

void bad_label(std::uint32_t edge, std::uint32_t label_start, std::uint32_t label_end,
               std::string_view pool) {
    const bool inside = label_start <= label_end && label_end <= pool.size();
    raise_fault("rule trie: the label of edge " + n(edge) + " (bytes " + n(label_start) + " to " +
                n(label_end) + ") " +
                (inside ? std::string("does not fall on UTF-8 character boundaries")
                        : "does not lie inside the label pool of " + n(pool.size()) + " bytes"));
}

void child_outside(std::uint32_t edge, std::int32_t child, std::size_t node_count) {
    raise_fault("rule trie: child " + n(static_cast<std::uint64_t>(child)) + " of edge " + n(edge) +
                " is not below the node count " + n(node_count));
}

}  // namespace vexlo::trie_faults
