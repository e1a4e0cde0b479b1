// The tables generated from the list file at build time (their own library,
// vexlo_compiled_rules), and their shape: the root's edge count is known
// when compiling (kCompiledRootEdgeCount), so a walk of them can run the
// root's search unrolled.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rules/compiled_list.h"
#include "rules/compiled_shape.h"
#include "rules/rule_tables.h"
#include "rules/rule_view.h"

namespace vexlo {

// Proven by the compiler (the generated source asserts that they pass every
// check), with the key of every edge's label made beside them.
extern const RuleTables compiled_rule_tables;

inline const RuleTables& compiled_tables() noexcept { return compiled_rule_tables; }

extern const CompiledList compiled_list;
inline RuleTrie compiled_rules() noexcept { return compiled_rule_tables.trie(); }

}  // namespace vexlo
