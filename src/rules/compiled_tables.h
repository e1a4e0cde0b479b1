// The tables generated from the list file at build time (their own library,
// vexlo_compiled_rules), and the walk made for them: the root's edge count
// is known when compiling, so its search runs unrolled.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rules/compiled_list.h"
#include "rules/compiled_shape.h"
#include "rules/rule_tables.h"
#include "rules/rule_view.h"
#include "rules/walk.h"

namespace vexlo {

// Proven by the compiler (the generated source asserts that they pass every
// check), with the key of every edge's label made beside them.
extern const RuleTables compiled_rule_tables;

inline const RuleTables& compiled_tables() noexcept { return compiled_rule_tables; }

extern const CompiledList compiled_list;
inline RuleTrie compiled_rules() noexcept { return compiled_rule_tables.trie(); }

// public_suffix_length over the compiled tables of a name of at most
// kDotBitmapBytes bytes, inline for the single call's fast path.
[[gnu::always_inline]] inline std::size_t compiled_public_suffix_length(
    const char* lowered, std::size_t size, std::uint64_t dots, std::size_t label_count,
    Switches switches) noexcept {
    const RuleTables& tables = compiled_tables();
    return switches.icann_only
               ? walk_name<kCompiledRootEdgeCount, true, true>(tables, lowered, size, dots, label_count,
                                                         switches.accept_unknown)
               : walk_name<kCompiledRootEdgeCount, false, true>(tables, lowered, size, dots, label_count,
                                                          switches.accept_unknown);
}

}  // namespace vexlo
