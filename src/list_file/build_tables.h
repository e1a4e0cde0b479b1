// The rule tables of a parsed list, laid out as the walk reads them
// (rules/rule_trie.h): every rule's name in both spellings of its
// internationalised labels, nodes numbered breadth-first, each node's edges
// sorted by label bytes, each distinct label once in the pool in order of
// first use. The build writes these tables into the module's source; a list
// loaded at run time keeps them as they are here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "list_file/list_errors.h"
#include "list_file/parse_list.h"
#include "rules/rule_trie.h"

namespace vexlo::list_file {

struct ListTables {
    std::vector<TrieNode> nodes;
    std::vector<TrieEdge> edges;
    std::string pool;
    // The list's own spelling of each rule node that only a twin names.
    std::vector<ListedSpelling> spellings;
    std::string spelling_text;
    std::string checksum;  // SHA-256 of the list file's bytes, lowercase hex
    std::optional<std::string> version;
    std::size_t rule_count = 0;       // rule lines of the list
    std::size_t twin_count = 0;       // rules added in the other spelling, not listed as such
    std::size_t distinct_labels = 0;  // label texts in the pool

    std::string_view label_pool() const noexcept { return pool; }
    RuleTrie view() const noexcept { return {label_pool(), nodes, edges}; }
    ListedSpellings listed_spellings() const noexcept { return {spellings, spelling_text}; }
};

struct BuiltTables {
    ListTables tables;  // empty when there are errors
    ListErrors errors;
};

// The tables of `list`, which parse_list made from `data` without an error.
// The only errors are of size: a node with more than kMaxFanOut children,
// more than kMaxNodes nodes, a pool of more than kMaxPoolBytes bytes.
BuiltTables build_rule_tables(const ParsedList& list, std::string_view data,
                              std::size_t errors_kept = kEveryError);

// parse_list, then build_rule_tables if the list has no error: what the build
// and the loader do with a list file's bytes.
BuiltTables compile_list(std::string_view data, std::size_t errors_kept = kEveryError);

}  // namespace vexlo::list_file
