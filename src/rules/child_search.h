// The child search, the one step of every walk: which edge of a node's run
// holds a given label. A binary search over the run's label keys whose probe
// count depends only on the run's length (no early exit on equality), then a
// final test of the edge it ends at. Inline: every step of every lookup runs
// it, and the walks interleave its pieces in their own ways.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "rules/label_key.h"
#include "rules/rule_tables.h"

namespace vexlo {

namespace child_search_detail {

// Moves `run` to `moved` when `probe` <= `key`, by a conditional move: a
// branch here would be as unpredictable as the names. The search over one
// name also moves `next` to `if_moves` on the same comparison.
[[gnu::always_inline]] inline void move_if_not_greater(std::uint64_t probe, std::uint64_t key,
                                                       const std::uint64_t*& run,
                                                       const std::uint64_t* moved) noexcept {
#if defined(__x86_64__) && defined(__GNUC__)
    asm("cmp %[key], %[probe]\n\tcmovbe %[moved], %[run]"
        : [run] "+r"(run)
        : [probe] "r"(probe), [key] "r"(key), [moved] "r"(moved)
        : "cc");
#else
    run = probe <= key ? moved : run;
#endif
}

[[gnu::always_inline]] inline void move_if_not_greater(std::uint64_t probe, std::uint64_t key,
                                                       const std::uint64_t*& run,
                                                       const std::uint64_t* moved,
                                                       std::uint64_t& next,
                                                       std::uint64_t if_moves) noexcept {
#if defined(__x86_64__) && defined(__GNUC__)
    asm("cmp %[key], %[probe]\n\tcmovbe %[moved], %[run]\n\tcmovbe %[if_moves], %[next]"
        : [run] "+r"(run), [next] "+r"(next)
        : [probe] "r"(probe), [key] "r"(key), [moved] "r"(moved), [if_moves] "r"(if_moves)
        : "cc");
#else
    const bool moves = probe <= key;
    run = moves ? moved : run;
    next = moves ? if_moves : next;
#endif
}

template <std::size_t kCount, std::size_t kHalf, class Probes>
[[gnu::always_inline]] inline const std::uint64_t* search_from(const std::uint64_t* run,
                                                               std::uint64_t probe,
                                                               std::uint64_t key,
                                                               Probes& probes) noexcept {
    constexpr std::size_t kRest = kCount - kHalf;
    constexpr std::size_t kNextHalf = kRest / 2;
    std::uint64_t next = run[kNextHalf];
    const std::uint64_t if_moves = run[kHalf + kNextHalf];
    probes.probe();
    move_if_not_greater(probe, key, run, run + kHalf, next, if_moves);
    if constexpr (kRest <= 1) {
        return run;
    } else {
        return search_from<kRest, kNextHalf>(run, next, key, probes);
    }
}

}  // namespace child_search_detail

// Counts the probes of a search, for tests; NoProbeCount makes it vanish.
struct NoProbeCount {
    constexpr void probe() const noexcept {}
};

// One step of the search over keys: moves `run` to `mid` unless the key at
// `mid` sorts after `key`. The batch walk interleaves these across names.
[[gnu::always_inline]] inline const std::uint64_t* probe_step(const std::uint64_t* run,
                                                              const std::uint64_t* mid,
                                                              std::uint64_t key) noexcept {
    child_search_detail::move_if_not_greater(*mid, key, run, mid);
    return run;
}

// The search over run[0, count) (count >= 1): the last key not greater than
// `key` (the first of the run when all are). Both keys that the next probe
// may compare are loaded before the current decision is known, so the chain
// from one decision to the next is a compare and a conditional move rather
// than a load: the same probes in the same order, in about half the time.
template <class Probes = NoProbeCount>
[[gnu::always_inline]] inline const std::uint64_t* search_keys(const std::uint64_t* run,
                                                               std::size_t count, std::uint64_t key,
                                                               Probes&& probes = {}) noexcept {
    if (count <= 1) return run;
    std::size_t half = count / 2;
    std::uint64_t probe = run[half];
    while (true) {
        const std::size_t rest = count - half;
        const std::size_t next_half = rest / 2;
        // Both inside the run: next_half < rest, and half + next_half < count.
        std::uint64_t next = run[next_half];
        const std::uint64_t if_moves = run[half + next_half];
        probes.probe();
        child_search_detail::move_if_not_greater(probe, key, run, run + half, next, if_moves);
        probe = next;
        count = rest;
        half = next_half;
        if (count <= 1) return run;
    }
}

// search_keys for a run whose length is known when compiling (the compiled
// root's): every probe's offsets are constants, and no loop is left.
template <std::size_t kCount, class Probes = NoProbeCount>
[[gnu::always_inline]] inline const std::uint64_t* search_keys_fixed(const std::uint64_t* run,
                                                                     std::uint64_t key,
                                                                     Probes&& probes = {}) noexcept {
    if constexpr (kCount <= 1) {
        return run;
    } else {
        return child_search_detail::search_from<kCount, kCount / 2>(run, run[kCount / 2], key, probes);
    }
}

namespace child_search_detail {

// Whether two labels of `length` bytes each, whose keys are equal, are
// equal: only bytes past the eighth are left to compare. Up to sixteen bytes
// that is one overlapping word of each, read inside the labels.
inline bool equal_tails(const char* stored, const char* label, std::size_t length) noexcept {
    if (length <= 8) return true;
    if (length <= 16) {
        std::uint64_t a, b;
        std::memcpy(&a, stored + length - 8, 8);
        std::memcpy(&b, label + length - 8, 8);
        return a == b;
    }
    return std::memcmp(stored + 8, label + 8, length - 8) == 0;
}

// The child of the edge among run[0, found] whose label is `label`, for a
// label of eight bytes or more whose key several of them share; 0 for none.
std::int32_t child_among_equal_keys(const RuleTables& tables, const std::uint64_t* run,
                                    const std::uint64_t* found, const char* label,
                                    std::size_t length) noexcept;

}  // namespace child_search_detail

// The end of the search: `found` is where the search over the keys of the
// edges of `node` ended. The child node of the edge whose label is
// label[0, length), or 0 (never a child: the root) when the node has none.
// Unequal keys mean no such edge. Equal keys of a label under eight bytes
// mean that edge: no stored label holds a NUL, so a stored label equal in
// key to a shorter one is that label. A label of eight bytes or more may
// share its key with several siblings, of which `found` is the last.
[[gnu::always_inline]] inline std::int32_t settle_child(const RuleTables& tables,
                                                        std::uint32_t node,
                                                        const std::uint64_t* found,
                                                        const char* label, std::size_t length,
                                                        std::uint64_t key) noexcept {
    if (*found != key) return 0;
    const TrieEdge& edge = tables.edges[found - tables.keys];
    if (edge.label_end - edge.label_start == length &&
        child_search_detail::equal_tails(tables.pool + edge.label_start, label, length)) {
        return edge.child < 0 ? 0 : edge.child;
    }
    if (length < 8) return 0;
    const std::uint64_t* const run = tables.keys + tables.nodes[node].first_edge;
    return child_search_detail::child_among_equal_keys(tables, run, found, label, length);
}

// The child of `node` whose edge label is label[0, length), whose key is
// `key`, or 0 when it has none. kRootEdges, when not 0, is the root's edge
// count, known when compiling for the compiled tables: their search of the
// root then runs unrolled.
template <std::size_t kRootEdges = 0, class Probes = NoProbeCount>
[[gnu::always_inline]] inline std::int32_t find_child(const RuleTables& tables, std::uint32_t node,
                                                      const char* label, std::size_t length,
                                                      std::uint64_t key,
                                                      Probes&& probes = {}) noexcept {
    const TrieNode& n = tables.nodes[node];
    const std::size_t count = n.edge_count;
    if (count == 0) return 0;
    const std::uint64_t* const run = tables.keys + n.first_edge;
    const std::uint64_t* found;
    if constexpr (kRootEdges != 0) {
        found = node == 0 ? search_keys_fixed<kRootEdges>(run, key, probes)
                          : search_keys(run, count, key, probes);
    } else {
        found = search_keys(run, count, key, probes);
    }
    return settle_child(tables, node, found, label, length, key);
}

}  // namespace vexlo
