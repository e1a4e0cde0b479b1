// Names of a column, normalised a block at a time into one arena where the
// batch walk can read them: the same outcome as normalize_domain for each
// element, and an invalid name for an element whose bytes are not UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "columns/batch_walk.h"

namespace vexlo {

// Whether `text` is well-formed UTF-8 (no overlong form, surrogate, or code
// point past U+10FFFF). Reads nothing outside it.
bool is_utf8(std::string_view text) noexcept;

class NameBatch {
public:
    enum class State : std::uint8_t { kNull, kInvalid, kValid };

    struct Name {
        std::string_view given;  // the caller's bytes less one trailing dot
        std::uint32_t walk;      // valid names: the place of the name in walk_names()
        State state;
        // Valid names: the caller's text is ASCII, so it holds its labels at
        // the byte offsets of the lowered text.
        bool ascii;
    };

    void clear() noexcept;
    void add_null();
    // Any bytes; a text that is not UTF-8, empty, or has an empty label is
    // an invalid name.
    void add(std::string_view text);

    std::size_t size() const noexcept { return names_.size(); }
    const Name& operator[](std::size_t i) const noexcept { return names_[i]; }

    // The valid names, lowered, in the order they were added. Their texts
    // lie in one arena, kWalkPadding bytes apart, and hold the caller's
    // labels at the same byte offsets when the caller's text is ASCII.
    std::span<const WalkName> walk_names() const noexcept { return walk_; }
    // Of a valid name:
    const WalkName& walk_name(std::size_t i) const noexcept { return walk_[names_[i].walk]; }
    std::string_view lowered(std::size_t i) const noexcept {
        return {walk_name(i).text, walk_name(i).size};
    }

    // Fills public_length(i) for every valid name.
    void match(bool accept_unknown, bool icann_only);
    std::uint32_t public_length(std::size_t i) const noexcept { return lengths_[names_[i].walk]; }
    std::span<const std::uint32_t> public_lengths() const noexcept { return lengths_; }

private:
    // Room for `bytes` more arena bytes and the padding after them; returns
    // where they go. The arena only grows, and is never cleared: the walk
    // masks whatever lies beyond a name.
    char* reserve(std::size_t bytes) {
        // Sixteen bytes past the name are written by the ASCII path as well
        // as read by the walk.
        const std::size_t needed = arena_size_ + bytes + kWalkPadding;
        if (needed > arena_capacity_) [[unlikely]] grow_arena(needed);
        return arena_.get() + arena_size_;
    }
    void grow_arena(std::size_t needed);
    void add_valid(std::string_view given, bool ascii, const char* lowered, std::size_t size,
                   std::size_t label_count, std::uint64_t dots);

    std::vector<Name> names_;
    std::unique_ptr<char[]> arena_;
    std::size_t arena_size_ = kWalkPadding;
    std::size_t arena_capacity_ = 0;
    std::vector<WalkName> walk_;
    std::vector<std::uint32_t> lengths_;
};

}  // namespace vexlo
