// The Public Suffix List as three read-only tables addressed by 32-bit
// indexes (no pointers, nothing to fix up at load time): the node table, the
// edge table and the pool of label texts. Node 0 is the root; the children of
// a node are the contiguous run of its edges, sorted by label bytes.
#pragma once

#include <cstddef>
#include <cstdint>
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
    std::int32_t child;  // negative: the edge leads nowhere
};

// A rule node that only the other spelling of a listed rule made (its
// "xn--" twin, or the Unicode twin of an "xn--" rule): where the list's own
// spelling of that rule's name lies in a text of such names. Only a rule's
// explanation reads these; matching never does.
struct ListedSpelling {
    std::uint32_t node;
    std::uint32_t text_start;
    std::uint32_t text_end;
};

// The listed spellings of one set of tables, sorted by node.
struct ListedSpellings {
    std::span<const ListedSpelling> entries;
    std::string_view text;
};

// A view of one set of tables: the generated ones, tables built from a list
// file at run time, or tests' own (including deliberately broken ones).
struct RuleTrie {
    std::string_view label_pool;
    std::span<const TrieNode> nodes;
    std::span<const TrieEdge> edges;
};

// A DNS label has at most 63 bytes, and so has every label of a set of
// tables that the walk reads (table_proof.h checks it).
inline constexpr std::size_t kMaxLabelBytes = 63;

// Lowercase hexadecimal SHA-256 of the compiled list file's bytes.
inline constexpr std::size_t LIST_CHECKSUM_LENGTH = 64;
extern const char LIST_CHECKSUM[LIST_CHECKSUM_LENGTH + 1];

}  // namespace vexlo
