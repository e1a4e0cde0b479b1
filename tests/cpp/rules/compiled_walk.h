// The walk of the compiled tables with the root's search unrolled, as the
// single call's fast path runs it (query/short_match.h), for a name of at
// most kDotBitmapBytes bytes: what the tests, fuzzers and benchmarks hold
// the other walks to, and time beside them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rules/compiled_tables.h"
#include "rules/walk.h"

namespace vexlo {

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
