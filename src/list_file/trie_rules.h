// The rules a trie holds, read back from its flags as a list the table
// builder takes: how rules are put on top of the compiled list, whose tables
// keep no list text. Tables built from these rules are those that were read:
// the same nodes, flags and labels, and the same listed spellings.
#pragma once

#include <string>

#include "list_file/parse_list.h"
#include "rules/rule_trie.h"

namespace vexlo::list_file {

// Each node whose flags mark a rule gives a rule of each kind marked there:
// in the ICANN section when the ICANN flag of that kind is set, else in the
// PRIVATE section. (A name listed in both sections gives its ICANN rule
// alone, which sets every flag the other would.) A node that only a twin
// names (one of `spellings`) gives none: the rule it is the twin of makes it
// again. The rules view `names`, which holds their text, and have line 0.
// Throws std::bad_alloc when memory runs out.
ParsedList rules_of_trie(const RuleTrie& trie, ListedSpellings spellings, std::string& names);

}  // namespace vexlo::list_file
