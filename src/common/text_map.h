// A hash map from a tag and a short text to a 32-bit value: for the list's
// table builder the child of a node by its text, the pool span of a text's
// text, the rules already listed; for a dictionary column's answers the one
// entry of each distinct answer. The entries are kept in order of insertion;
// the index over them holds eight bytes a slot, so that it stays in cache for
// a whole list. Texts are views of bytes that outlive the map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace vexlo {

class TextMap {
public:
    explicit TextMap(std::size_t expected);

    // Empties the map, keeping its memory: a map used again for another
    // purpose costs no fresh pages.
    void clear() noexcept;

    // The value stored for (tag, text) and false; or, when there is none,
    // `value` stored for it and true.
    std::pair<std::uint32_t, bool> emplace(std::uint32_t tag, std::string_view text,
                                           std::uint32_t value);

private:
    struct Entry {
        std::string_view text;
        std::uint32_t tag;
        std::uint32_t value;
    };

    void grow();

    std::vector<Entry> entries_;
    // A power of two in size, at most half used: 0 for a free slot, else the
    // entry's hash in the high half and its index + 1 in the low half.
    std::vector<std::uint64_t> slots_;
};

}  // namespace vexlo
