#include "rules/owned_tables.h"

#include <utility>

#include "rules/label_key.h"
#include "rules/table_proof.h"

namespace vexlo {

namespace {

std::vector<std::uint64_t> keys_of(const std::vector<TrieEdge>& edges, const std::string& pool) {
    std::vector<std::uint64_t> keys;
    keys.reserve(edges.size());
    const std::string_view text(pool);
    for (const TrieEdge& edge : edges) {
        // A label outside the pool gets no key: the proof refuses it.
        const bool inside = edge.label_start <= edge.label_end && edge.label_end <= text.size();
        keys.push_back(inside ? label_key(text.substr(edge.label_start, edge.label_end - edge.label_start))
                              : 0);
    }
    return keys;
}

}  // namespace

OwnedTables::OwnedTables(std::vector<TrieNode> nodes, std::vector<TrieEdge> edges, std::string pool,
                         std::vector<ListedSpelling> spellings, std::string spelling_text)
    : nodes_(std::move(nodes)),
      edges_(std::move(edges)),
      pool_(std::move(pool)),
      keys_(keys_of(edges_, pool_)),
      spellings_(std::move(spellings)),
      spelling_text_(std::move(spelling_text)),
      view_(proven_tables(RuleTrie{pool_, nodes_, edges_}, keys_,
                          ListedSpellings{spellings_, spelling_text_})) {}

std::size_t OwnedTables::bytes() const noexcept {
    return nodes_.size() * sizeof(TrieNode) + edges_.size() * sizeof(TrieEdge) + pool_.size() +
           keys_.size() * sizeof(std::uint64_t) + spellings_.size() * sizeof(ListedSpelling) +
           spelling_text_.size();
}

}  // namespace vexlo
