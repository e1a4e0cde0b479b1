// The compiled Public Suffix List: three read-only tables addressed by 32-bit
// indexes (no pointers, nothing to fix up at load time) and the child search
// over them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vexlo {

// Rule bits of TrieNode::flags. The ICANN group is the ANY group shifted left
// by three, so `flags >> 3` is the ICANN-only view in the same low bits.
inline constexpr std::uint8_t RULE_ANY = 0x01;
inline constexpr std::uint8_t WILDCARD_ANY = 0x02;
inline constexpr std::uint8_t EXCEPTION_ANY = 0x04;
inline constexpr std::uint8_t RULE_ICANN = 0x08;
inline constexpr std::uint8_t WILDCARD_ICANN = 0x10;
inline constexpr std::uint8_t EXCEPTION_ICANN = 0x20;
inline constexpr unsigned ICANN_SHIFT = 3;

struct TrieNode {
    std::uint32_t first_edge;
    std::uint16_t edge_count;
    std::uint8_t flags;
};

struct TrieEdge {
    std::uint32_t label_start;
    std::uint32_t label_end;
    std::int32_t child;
};

// A view of one set of tables. The module uses compiled_rules(); tests build
// their own (including deliberately broken ones).
struct RuleTrie {
    std::string_view label_pool;
    std::span<const TrieNode> nodes;
    std::span<const TrieEdge> edges;
};

// The tables generated from the list file at build time. Their pool is
// followed in memory by kLabelPoolSlack zero bytes (not part of the view).
const RuleTrie& compiled_rules() noexcept;
inline constexpr std::size_t kLabelPoolSlack = 8;
// Beside those tables, the key (trie_detail::label_key) of every edge's label,
// in edge order: a probe of the child search can compare it without reading
// the edge or the pool. No compiled label holds a NUL byte (the build checks
// it), which lets a key alone decide every probe for a label of fewer than
// eight bytes (edge_keys.h).
std::span<const std::uint64_t> compiled_edge_keys() noexcept;
// No label of those tables is longer (a DNS label has at most 63 bytes; the
// build checks it), so a label's length can index a table without clamping.
inline constexpr std::size_t kCompiledLabelMaxBytes = 63;

// Lowercase hexadecimal SHA-256 of the compiled list file's bytes.
inline constexpr std::size_t LIST_CHECKSUM_LENGTH = 64;
extern const char LIST_CHECKSUM[LIST_CHECKSUM_LENGTH + 1];

// Index of the child of `node` whose edge label equals `label` byte for byte.
// The probe count depends only on the node's edge count. A table that fails
// one of the reader's checks raises a Fault; a negative child is "no child".
inline std::optional<std::uint32_t> find_child(const RuleTrie& trie, std::uint32_t node,
                                               std::string_view label);

// How the child search treats the tables it reads. CheckEveryProbe, for any
// RuleTrie, tests the node, each label it compares and the child it returns.
// CheckedAtBuild is for compiled_rules() alone, whose tables were proven to
// pass every one of those tests when they were compiled (table_proof.h), and
// for node indexes that are 0 or came from such a search; it also reads
// eight bytes from any label's start, relying on the compiled pool's slack.
struct CheckEveryProbe {
    static constexpr bool kCheck = true;
};
struct CheckedAtBuild {
    static constexpr bool kCheck = false;
};

// find_child with a hook that sees every label comparison: probe(edge) for each
// halving step, final_compare(edge) for the closing equality test. Tests count
// probes with it; NoProbeObserver makes it vanish from the production path.
template <class Checks = CheckEveryProbe, class ProbeObserver>
std::optional<std::uint32_t> find_child_observed(const RuleTrie& trie, std::uint32_t node,
                                                 std::string_view label, ProbeObserver& observer);

// find_child_observed given the label's key as well, for callers that can
// make it more cheaply than from the label alone.
template <class Checks, class ProbeObserver>
std::optional<std::uint32_t> find_child_keyed(const RuleTrie& trie, std::uint32_t node,
                                              std::string_view label, std::uint64_t key,
                                              ProbeObserver& observer);

struct NoProbeObserver {
    constexpr void probe(std::uint32_t) const noexcept {}
    constexpr void final_compare(std::uint32_t) const noexcept {}
};

}  // namespace vexlo

#include "rules/find_child_impl.h"
