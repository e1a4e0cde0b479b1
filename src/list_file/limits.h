// The largest list file, and the largest tables, that a list may make. The
// field widths of TrieNode and TrieEdge allow more; these bounds keep a list
// loaded at run time from taking more than a few hundred MiB on its way in.
#pragma once

#include <cstddef>

#include "rules/rule_trie.h"

namespace vexlo::list_file {

// The whole file, refused before anything is read from it. The list itself
// is about 330 KB.
inline constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;
// Rule lines (duplicates included); the list has about ten thousand.
inline constexpr std::size_t kMaxRules = std::size_t{1} << 20;
// Trie nodes, the root and the twins' nodes included.
inline constexpr std::size_t kMaxNodes = std::size_t{1} << 22;
// Children of one node: TrieNode::edge_count is 16 bits.
inline constexpr std::size_t kMaxFanOut = 0xFFFF;
// The label pool, each distinct label once.
inline constexpr std::size_t kMaxPoolBytes = std::size_t{64} << 20;
// A label, in either spelling, has at most vexlo::kMaxLabelBytes (63) bytes,
// as a DNS label does; the proof of the tables refuses longer ones.

}  // namespace vexlo::list_file
