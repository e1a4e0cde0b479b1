// The child search, inline because every step of every lookup runs it. Only
// rule_trie.h includes this file.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <type_traits>

namespace vexlo {

namespace trie_faults {
// Out of line and cold: they build the message and raise a Fault.
[[noreturn]] void node_outside(std::uint32_t node, std::size_t node_count);
[[noreturn]] void edge_run_outside(std::uint32_t node, std::uint32_t first_edge,
                                   std::uint16_t edge_count, std::size_t edge_total);
[[noreturn]] void bad_label(std::uint32_t edge, std::uint32_t label_start, std::uint32_t label_end,
                            std::string_view pool);
[[noreturn]] void child_outside(std::uint32_t edge, std::int32_t child, std::size_t node_count);
}  // namespace trie_faults

namespace trie_detail {

// Labels are ordered through their first eight bytes read as a big-endian
// number, zero-padded past the label's end: unequal keys order two labels
// exactly as the byte-wise comparison ("shorter prefix first") does, so most
// probes decide with one integer comparison; only equal keys (a shared
// eight-byte prefix, or the label itself) need more.
inline std::uint64_t big_endian_word(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) {
        word = __builtin_bswap64(word);
    }
    return word;
}

// The `available` (< 8) bytes at `bytes`, zero-padded to eight.
inline std::uint64_t short_word(const char* bytes, std::size_t available) {
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        word = (word << 8) | (i < available ? static_cast<unsigned char>(bytes[i]) : 0u);
    }
    return word;
}

// Keeps the leading min(length, 8) bytes of a word. A table, because label
// lengths vary from probe to probe and a branch on them would be mispredicted.
inline std::uint64_t keep_leading(std::uint64_t word, std::size_t length) {
    static constexpr std::uint64_t keep[9] = {
        0, 0xFF00000000000000, 0xFFFF000000000000, 0xFFFFFF0000000000, 0xFFFFFFFF00000000,
        0xFFFFFFFFFF000000, 0xFFFFFFFFFFFF0000, 0xFFFFFFFFFFFFFF00, 0xFFFFFFFFFFFFFFFF};
    return word & keep[length < 8 ? length : 8];
}

// keep_leading for a length of at most kCompiledLabelMaxBytes, without the
// clamp: one masking load.
inline std::uint64_t keep_leading_bounded(std::uint64_t word, std::size_t length) {
    static constexpr auto keep = [] {
        std::array<std::uint64_t, kCompiledLabelMaxBytes + 1> masks{};
        for (std::size_t n = 1; n < masks.size(); ++n) {
            masks[n] = n >= 8 ? ~std::uint64_t{0} : ~(~std::uint64_t{0} >> (8 * n));
        }
        return masks;
    }();
    return word & keep[length];
}

inline std::uint64_t label_key(std::string_view label) {
    const std::uint64_t word = label.size() >= 8 ? big_endian_word(label.data())
                                                 : short_word(label.data(), label.size());
    return keep_leading(word, label.size());
}

// The key of the label text[start, end), read in one load that stays inside
// text[0, size) whenever the text has eight bytes: from the label's start, or
// the text's last eight bytes shifted so that the label leads. (An empty
// label at the very end, which valid names never have, would need a shift
// by 64.)
inline std::uint64_t label_key_in(const char* text, std::size_t size, std::size_t start,
                                  std::size_t end) {
    if (size < 8 || start == size) [[unlikely]] {
        return label_key(std::string_view(text + start, end - start));
    }
    const std::uint64_t word = size - start >= 8
                                   ? big_endian_word(text + start)
                                   : big_endian_word(text + size - 8) << ((start - (size - 8)) * 8);
    return keep_leading(word, end - start);
}

// Whether two labels whose keys are equal compare so that `stored` sorts
// after `label`. Equal keys mean equal bytes over the shorter length up to
// eight, so only longer labels compare their remaining bytes.
inline bool sorts_after_equal_key(std::string_view stored, std::string_view label) {
    if (stored.size() <= 8 || label.size() <= 8) return stored.size() > label.size();
    return stored.substr(8).compare(label.substr(8)) > 0;
}

// Whether two labels whose keys are equal are equal.
inline bool equal_with_equal_key(std::string_view stored, std::string_view label) {
    if (stored.size() != label.size()) return false;
    return stored.size() <= 8 ||
           std::memcmp(stored.data() + 8, label.data() + 8, stored.size() - 8) == 0;
}

// Whether two labels of `length` bytes each, whose keys are equal, are
// equal: only bytes past the eighth are left to compare. Up to sixteen bytes
// that is one overlapping word of each, read inside the labels.
inline bool equal_tail_with_equal_key(const char* stored, const char* label, std::size_t length) {
    if (length <= 8) return true;
    if (length <= 16) {
        std::uint64_t a, b;
        std::memcpy(&a, stored + length - 8, 8);
        std::memcpy(&b, label + length - 8, 8);
        return a == b;
    }
    return std::memcmp(stored + 8, label + 8, length - 8) == 0;
}

// Moves `run` to `moved` and `next` to `if_moves` when `probe` <= `key`,
// by conditional moves: a branch here would be as unpredictable as the names
// (and compilers turn the plain ternaries into one).
inline void move_if_not_greater(std::uint64_t probe, std::uint64_t key, const std::uint64_t*& run,
                                const std::uint64_t* moved, std::uint64_t& next,
                                std::uint64_t if_moves) {
#if defined(__x86_64__) && defined(__GNUC__)
    asm("cmp %[key], %[probe]\n\t"
        "cmovbe %[moved], %[run]\n\t"
        "cmovbe %[if_moves], %[next]"
        : [run] "+r"(run), [next] "+r"(next)
        : [probe] "r"(probe), [key] "r"(key), [moved] "r"(moved), [if_moves] "r"(if_moves)
        : "cc");
#else
    const bool moves = probe <= key;
    run = moves ? moved : run;
    next = moves ? if_moves : next;
#endif
}

// For search_keys: an equal key means "not greater" without looking further.
struct EqualKeyIsNotGreater {};

// One probe of the search over keys: `probe` is the key at run + half, `next`
// the key the next probe compares if `run` stays and `if_moves` the one it
// compares if `run` moves to run + half.
template <class Tie>
[[gnu::always_inline]] inline void probe_keys(const std::uint64_t*& run, std::size_t half,
                                              std::uint64_t probe, std::uint64_t key,
                                              std::uint64_t& next, std::uint64_t if_moves,
                                              Tie& tie) {
    if constexpr (std::is_same_v<std::decay_t<Tie>, EqualKeyIsNotGreater>) {
        move_if_not_greater(probe, key, run, run + half, next, if_moves);
    } else if (probe == key) [[unlikely]] {
        if (tie(run + half)) {
            run += half;
            next = if_moves;
        }
    } else {
        move_if_not_greater(probe, key, run, run + half, next, if_moves);
    }
}

// The fixed-probe search over a run of edge keys (compiled_edge_keys):
// halves run[0, count) (count >= 1) until one candidate is left, the last
// edge whose label is not greater than the label of `key`, without stopping
// on equality. An edge whose key equals `key` asks `tie(at)` (`at` points to
// its key) whether it is not greater, unless `tie` is EqualKeyIsNotGreater.
// Both keys that the next probe may compare are loaded before the current
// decision is known, so the chain from one decision to the next is a compare
// and a conditional move rather than a load: the same probes in the same
// order, in about half the time of one load after another.
template <class Tie>
inline const std::uint64_t* search_keys(const std::uint64_t* run, std::size_t count,
                                        std::uint64_t key, Tie&& tie) {
    if (count <= 1) return run;
    std::size_t half = count / 2;
    std::uint64_t probe = run[half];
    while (true) {
        const std::size_t rest = count - half;
        const std::size_t next_half = rest / 2;
        // Both inside the run: next_half < rest, and half + next_half < count.
        std::uint64_t next = run[next_half];
        const std::uint64_t if_moves = run[half + next_half];
        probe_keys(run, half, probe, key, next, if_moves, tie);
        probe = next;
        count = rest;
        half = next_half;
        if (count <= 1) return run;
    }
}

// search_keys for a run whose length is known when compiling (the root's):
// every probe's offsets are constants, and no loop is left.
template <std::size_t kCount, std::size_t kHalf, class Tie>
[[gnu::always_inline]] inline const std::uint64_t* search_keys_from(const std::uint64_t* run,
                                                                    std::uint64_t probe,
                                                                    std::uint64_t key, Tie& tie) {
    constexpr std::size_t kRest = kCount - kHalf;
    constexpr std::size_t kNextHalf = kRest / 2;
    std::uint64_t next = run[kNextHalf];
    const std::uint64_t if_moves = run[kHalf + kNextHalf];
    probe_keys(run, kHalf, probe, key, next, if_moves, tie);
    if constexpr (kRest <= 1) {
        return run;
    } else {
        return search_keys_from<kRest, kNextHalf>(run, next, key, tie);
    }
}

template <std::size_t kCount, class Tie>
[[gnu::always_inline]] inline const std::uint64_t* search_keys_fixed(const std::uint64_t* run,
                                                                     std::uint64_t key, Tie&& tie) {
    if constexpr (kCount <= 1) {
        return run;
    } else {
        return search_keys_from<kCount, kCount / 2>(run, run[kCount / 2], key, tie);
    }
}

struct StoredLabel {
    std::string_view text;
    std::uint64_t key;
};

// The label of edge `e` (number `edge`) and its key. With checks, after
// checking that it lies inside the pool and starts and ends on UTF-8
// character boundaries; the checks share the loads of the key and take two
// predictable branches.
// Without, the tables are compiled_rules(), whose pool is followed by
// kLabelPoolSlack readable bytes, so the first eight bytes are one load.
template <bool kCheck>
inline StoredLabel read_label(const RuleTrie& trie, const TrieEdge& e, std::uint32_t edge) {
    const char* const pool = trie.label_pool.data();
    const std::uint32_t start = e.label_start;
    const std::uint32_t end = e.label_end;
    const std::size_t length = end - start;
    if constexpr (!kCheck) {
        return {std::string_view(pool + start, length),
                keep_leading(big_endian_word(pool + start), length)};
    }
    const std::size_t pool_size = trie.label_pool.size();
    if ((start > end) | (end > pool_size)) [[unlikely]] {
        trie_faults::bad_label(edge, start, end, trie.label_pool);
    }
    // From here on start <= end <= pool_size.
    const std::uint64_t word = pool_size - start >= 8 ? big_endian_word(pool + start)
                                                      : short_word(pool + start, pool_size - start);
    const unsigned first_byte = static_cast<unsigned>(word >> 56);  // 0 when start == pool_size
    const unsigned byte_after = end < pool_size ? static_cast<unsigned char>(pool[end]) : 0u;
    // UTF-8 continuation bytes are 10xxxxxx.
    if (((first_byte & 0xC0) == 0x80) | ((byte_after & 0xC0) == 0x80)) [[unlikely]] {
        trie_faults::bad_label(edge, start, end, trie.label_pool);
    }
    return {std::string_view(pool + start, length), keep_leading(word, length)};
}

// Whether the stored label sorts after the searched one: byte-wise over the
// shorter length, then shorter first.
inline bool sorts_after(const StoredLabel& stored, std::string_view label, std::uint64_t key) {
    bool after = stored.key > key;
    if (stored.key == key) [[unlikely]] {
        after = sorts_after_equal_key(stored.text, label);
    }
    return after;
}

}  // namespace trie_detail

// find_child_observed with the label's key (trie_detail::label_key) already
// made, for callers that can make it more cheaply.
template <class Checks, class ProbeObserver>
std::optional<std::uint32_t> find_child_keyed(const RuleTrie& trie, std::uint32_t node,
                                              std::string_view label, std::uint64_t key,
                                              ProbeObserver& observer) {
    constexpr bool kCheck = Checks::kCheck;
    if constexpr (kCheck) {
        if (node >= trie.nodes.size()) [[unlikely]] {
            trie_faults::node_outside(node, trie.nodes.size());
        }
    }
    const TrieNode& n = trie.nodes[node];
    const std::uint32_t first = n.first_edge;
    const std::uint32_t count = n.edge_count;
    if constexpr (kCheck) {
        // In 64 bits: first_edge near 2^32 must not wrap past the check.
        if (std::uint64_t{first} + count > trie.edges.size()) [[unlikely]] {
            trie_faults::edge_run_outside(node, first, n.edge_count, trie.edges.size());
        }
    }
    if (count == 0) {
        return std::nullopt;
    }
    // Halve until one candidate is left, without stopping on equality, so the
    // number of probes depends on the run's length alone: the candidate is the
    // last edge whose label is not greater than `label`.
    // Indexes within the run, machine-word sized: one address step per probe.
    const TrieEdge* const run = trie.edges.data() + first;
    std::size_t base = 0;
    std::size_t size = count;
    while (size > 1) {
        const std::size_t half = size / 2;
        const std::size_t mid = base + half;
        const auto edge = static_cast<std::uint32_t>(first + mid);
        observer.probe(edge);
        if (!trie_detail::sorts_after(trie_detail::read_label<kCheck>(trie, run[mid], edge), label,
                                      key)) {
            base = mid;
            // Keep this a real branch. A conditional move would chain every
            // probe's two dependent loads (edge, then label bytes) one after
            // the other; a predicted branch lets the next probe's loads start
            // at once. Measured over shuffled names from the list, the branch
            // was about twice as fast for up to a thousand distinct names and
            // still faster over all of them.
            asm volatile("" : "+r"(base));
        }
        size -= half;
    }
    const auto edge = static_cast<std::uint32_t>(first + base);
    observer.final_compare(edge);
    const trie_detail::StoredLabel stored = trie_detail::read_label<kCheck>(trie, run[base], edge);
    if (stored.key != key || !trie_detail::equal_with_equal_key(stored.text, label)) {
        return std::nullopt;
    }
    const std::int32_t child = run[base].child;
    if (child < 0) {
        return std::nullopt;
    }
    if constexpr (kCheck) {
        if (static_cast<std::uint32_t>(child) >= trie.nodes.size()) [[unlikely]] {
            trie_faults::child_outside(edge, child, trie.nodes.size());
        }
    }
    return static_cast<std::uint32_t>(child);
}

template <class Checks, class ProbeObserver>
std::optional<std::uint32_t> find_child_observed(const RuleTrie& trie, std::uint32_t node,
                                                 std::string_view label, ProbeObserver& observer) {
    return find_child_keyed<Checks>(trie, node, label, trie_detail::label_key(label), observer);
}

inline std::optional<std::uint32_t> find_child(const RuleTrie& trie, std::uint32_t node,
                                               std::string_view label) {
    NoProbeObserver none;
    return find_child_observed(trie, node, label, none);
}

}  // namespace vexlo
