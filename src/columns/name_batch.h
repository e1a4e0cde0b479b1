// Names of a column, normalised a block at a time into one arena where the
// batch walk can read them: the same outcome as normalize_domain for each
// element, and an invalid name for an element whose bytes are not UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
        State state;
        // The lowered text holds the caller's labels at the same byte
        // offsets (ASCII lowercases byte for byte).
        bool same_offsets;
        std::string_view given;  // the caller's bytes less one trailing dot
        std::size_t lowered_at;  // the lowered text's place in the arena
        std::size_t lowered_size;
        std::size_t label_count;
        std::uint64_t dots;
    };

    void clear() noexcept;
    void add_null();
    // Any bytes; a text that is not UTF-8, empty, or has an empty label is
    // an invalid name.
    void add(std::string_view text);

    std::size_t size() const noexcept { return names_.size(); }
    const Name& operator[](std::size_t i) const noexcept { return names_[i]; }
    std::string_view lowered(std::size_t i) const noexcept {
        return {arena_.get() + names_[i].lowered_at, names_[i].lowered_size};
    }

    // Fills public_length(i) for every valid name.
    void match(bool accept_unknown, bool icann_only);
    std::uint32_t public_length(std::size_t i) const noexcept { return lengths_[i]; }

private:
    // Room for `bytes` more arena bytes and the padding after them; returns
    // where they go. The arena only grows, and is never cleared: the walk
    // masks whatever lies beyond a name.
    char* reserve(std::size_t bytes);

    std::vector<Name> names_;
    std::unique_ptr<char[]> arena_;
    std::size_t arena_size_ = 0;
    std::size_t arena_capacity_ = 0;
    std::vector<WalkName> walk_;
    std::vector<std::size_t> walk_index_;
    std::vector<std::uint32_t> walk_lengths_;
    std::vector<std::uint32_t> lengths_;
};

}  // namespace vexlo
