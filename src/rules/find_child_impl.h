// The child search, inline because every step of every lookup runs it. Only
// rule_trie.h includes this file.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

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

inline bool on_char_boundary(std::string_view pool, std::uint32_t offset) {
    return offset == pool.size() || (static_cast<unsigned char>(pool[offset]) & 0xC0) != 0x80;
}

// The label of `edge`, after checking that it lies inside the pool and starts
// and ends on UTF-8 character boundaries.
inline std::string_view checked_label(const RuleTrie& trie, std::uint32_t edge) {
    const TrieEdge& e = trie.edges[edge];
    const std::string_view pool = trie.label_pool;
    if (e.label_start > e.label_end || e.label_end > pool.size() ||
        !on_char_boundary(pool, e.label_start) || !on_char_boundary(pool, e.label_end)) [[unlikely]] {
        trie_faults::bad_label(edge, e.label_start, e.label_end, pool);
    }
    return std::string_view(pool.data() + e.label_start, e.label_end - e.label_start);
}

// The first eight bytes of a label as a big-endian number, zero-padded past
// its end. Unequal keys order two labels exactly as a byte-wise comparison
// with "shorter prefix first" does, so most probes decide without a call to
// memcmp; only equal keys need the full comparison.
inline std::uint64_t big_endian_word(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) {
        word = __builtin_bswap64(word);
    }
    return word;
}

inline std::uint64_t prefix_key_slow(std::string_view text) {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        key = (key << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    }
    return key;
}

// `available` is how many bytes may be read from text.data() onward.
inline std::uint64_t prefix_key(std::string_view text, std::size_t available) {
    if (available < 8) [[unlikely]] {
        return prefix_key_slow(text);
    }
    // Keep the leading min(size, 8) bytes; a table, because label lengths
    // vary from probe to probe and a branch on them would be mispredicted.
    static constexpr std::uint64_t keep[9] = {
        0, 0xFF00000000000000, 0xFFFF000000000000, 0xFFFFFF0000000000, 0xFFFFFFFF00000000,
        0xFFFFFFFFFF000000, 0xFFFFFFFFFFFF0000, 0xFFFFFFFFFFFFFF00, 0xFFFFFFFFFFFFFFFF};
    const std::size_t size = text.size();
    return big_endian_word(text.data()) & keep[size < 8 ? size : 8];
}

// Whether stored sorts after label: byte-wise over the shorter length, then
// shorter first. Equal keys are rare (a common eight-byte prefix, or the label
// itself), so only they pay for the full comparison.
inline bool sorts_after(std::string_view stored, std::uint64_t stored_key, std::string_view label,
                        std::uint64_t label_key) {
    bool after = stored_key > label_key;
    if (stored_key == label_key) [[unlikely]] {
        after = stored.compare(label) > 0;
    }
    return after;
}

}  // namespace trie_detail

template <class ProbeObserver>
std::optional<std::uint32_t> find_child_observed(const RuleTrie& trie, std::uint32_t node,
                                                 std::string_view label, ProbeObserver& observer) {
    if (node >= trie.nodes.size()) [[unlikely]] {
        trie_faults::node_outside(node, trie.nodes.size());
    }
    const TrieNode& n = trie.nodes[node];
    const std::uint32_t first = n.first_edge;
    const std::uint32_t count = n.edge_count;
    // In 64 bits: first_edge near 2^32 must not wrap past the check.
    if (std::uint64_t{first} + count > trie.edges.size()) [[unlikely]] {
        trie_faults::edge_run_outside(node, first, n.edge_count, trie.edges.size());
    }
    if (count == 0) {
        return std::nullopt;
    }
    // Halve until one candidate is left, without stopping on equality, so the
    // number of probes depends on the run's length alone: the candidate is the
    // last edge whose label is not greater than `label`.
    const std::string_view pool = trie.label_pool;
    const std::uint64_t label_key = trie_detail::prefix_key(label, label.size());
    const auto stored_key = [&](std::string_view stored) {
        return trie_detail::prefix_key(stored, pool.size() - (stored.data() - pool.data()));
    };
    std::uint32_t base = 0;
    std::uint32_t size = count;
    while (size > 1) {
        const std::uint32_t half = size / 2;
        const std::uint32_t mid = base + half;
        observer.probe(first + mid);
        const std::string_view stored = trie_detail::checked_label(trie, first + mid);
        const bool after = trie_detail::sorts_after(stored, stored_key(stored), label, label_key);
        // Arithmetic rather than a branch: the direction is a coin toss.
        base += half & (static_cast<std::uint32_t>(after) - 1u);
        size -= half;
    }
    const std::uint32_t edge = first + base;
    observer.final_compare(edge);
    const std::string_view stored = trie_detail::checked_label(trie, edge);
    if (stored_key(stored) != label_key || stored != label) {
        return std::nullopt;
    }
    const std::int32_t child = trie.edges[edge].child;
    if (child < 0) {
        return std::nullopt;
    }
    if (static_cast<std::uint32_t>(child) >= trie.nodes.size()) [[unlikely]] {
        trie_faults::child_outside(edge, child, trie.nodes.size());
    }
    return static_cast<std::uint32_t>(child);
}

inline std::optional<std::uint32_t> find_child(const RuleTrie& trie, std::uint32_t node,
                                               std::string_view label) {
    NoProbeObserver none;
    return find_child_observed(trie, node, label, none);
}

}  // namespace vexlo
