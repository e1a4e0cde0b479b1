// Tables built at run time, owned: the three tables handed over by whoever
// built them (the list loader), the key of every edge's label, and the view
// the walks read, made only once the whole set has passed the proof of
// table_proof.h. So the walks need no check of their own for these either.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rules/rule_tables.h"
#include "rules/rule_trie.h"

namespace vexlo {

class OwnedTables {
public:
    // Takes the tables over and proves them: a Fault naming the first check
    // they fail (the builder made them wrong), std::bad_alloc when the keys
    // cannot be had; nothing is kept either way.
    OwnedTables(std::vector<TrieNode> nodes, std::vector<TrieEdge> edges, std::string pool,
                std::vector<ListedSpelling> spellings = {}, std::string spelling_text = {});

    // The view points into this object's own vectors, which never move.
    OwnedTables(const OwnedTables&) = delete;
    OwnedTables& operator=(const OwnedTables&) = delete;

    const RuleTables& tables() const noexcept { return view_; }
    // Bytes held: the three tables, the keys and the listed spellings.
    std::size_t bytes() const noexcept;

private:
    std::vector<TrieNode> nodes_;
    std::vector<TrieEdge> edges_;
    std::string pool_;
    std::vector<std::uint64_t> keys_;
    std::vector<ListedSpelling> spellings_;
    std::string spelling_text_;
    RuleTables view_;
};

}  // namespace vexlo
