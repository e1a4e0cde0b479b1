// The public-suffix walk for many names at once. The names go down the trie a
// level at a time together; within a level, names whose searches take the
// same number of probes run in groups whose probes are interleaved, so that
// one name's loads overlap another's wait. Each name takes exactly the child
// search of the single walk (a binary search whose probe count depends only
// on the node's edge count, then an equality test), and its answer equals
// public_suffix_length's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vexlo {

// Bytes before and after every WalkName's text that the walk may read (it
// loads whole words and masks what lies outside the name).
inline constexpr std::size_t kWalkPadding = 16;

// A normalised name: `text` is lowered, non-empty, without empty labels,
// with `label_count` labels, and readable from kWalkPadding bytes before its
// start to kWalkPadding bytes after its end.
struct WalkName {
    const char* text;
    std::size_t size;
    std::size_t label_count;
    // Bit i set when text[i] is a dot, for the first 64 bytes (dots_of
    // computes it); the walk scans any bytes beyond.
    std::uint64_t dots;
};

// The dot mask of the first 64 bytes of a text.
std::uint64_t dots_of(const char* text, std::size_t size) noexcept;

// lengths[i] = public_suffix_length of names[i] under the switches, over the
// compiled rules. Throws std::bad_alloc when memory runs out (the walk's
// workspace, and on the first call in a process the table of label keys).
void public_suffix_lengths(std::span<const WalkName> names, bool accept_unknown, bool icann_only,
                           std::uint32_t* lengths);

}  // namespace vexlo
