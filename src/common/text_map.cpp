#include "common/text_map.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vexlo {

namespace {

// Up to eight bytes of p[0, size) in one word, reading none past them.
std::uint64_t word_of(const char* p, std::size_t size) noexcept {
    std::uint64_t word = 0;
    if (size >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, p, 4);
        std::memcpy(&tail, p + size - 4, 4);
        return std::uint64_t{head} | std::uint64_t{tail} << 32;
    }
    for (std::size_t i = 0; i < size; ++i) {
        word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    }
    return word;
}

// Eight bytes a step: texts are short (labels, names), and the map is asked
// for each text of each rule several times while a list loads.
std::uint32_t hash(std::uint32_t tag, std::string_view text) noexcept {
    constexpr std::uint64_t kMultiplier = 0x9e3779b97f4a7c15u;
    std::uint64_t h = (std::uint64_t{tag} << 32 | text.size()) * kMultiplier;
    const char* p = text.data();
    std::size_t left = text.size();
    for (; left > 8; left -= 8, p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        h = (h ^ word) * kMultiplier;
        h ^= h >> 29;
    }
    h = (h ^ word_of(p, left)) * kMultiplier;
    h ^= h >> 32;
    return static_cast<std::uint32_t>(h ^ (h >> 15));
}

// Whether two texts of `size` bytes are alike: most are a word or two, which
// a call to memcmp would cost more than.
bool same_bytes(const char* a, const char* b, std::size_t size) noexcept {
    if (size > 16) return std::memcmp(a, b, size) == 0;
    if (size <= 8) return word_of(a, size) == word_of(b, size);
    std::uint64_t a_head, b_head, a_tail, b_tail;
    std::memcpy(&a_head, a, 8);
    std::memcpy(&b_head, b, 8);
    std::memcpy(&a_tail, a + size - 8, 8);
    std::memcpy(&b_tail, b + size - 8, 8);
    return ((a_head ^ b_head) | (a_tail ^ b_tail)) == 0;
}

}  // namespace

TextMap::TextMap(std::size_t expected) : slots_(std::bit_ceil(expected * 2 + 16)) {
    entries_.reserve(expected);
}

std::pair<std::uint32_t, bool> TextMap::emplace(std::uint32_t tag, std::string_view text,
                                                 std::uint32_t value) {
    const std::uint32_t h = hash(tag, text);
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = h & mask;
    for (;; at = (at + 1) & mask) {
        const std::uint64_t slot = slots_[at];
        if (slot == 0) break;
        if (static_cast<std::uint32_t>(slot >> 32) != h) continue;
        const Entry& entry = entries_[static_cast<std::uint32_t>(slot) - 1];
        if (entry.tag == tag && entry.text.size() == text.size() &&
            same_bytes(entry.text.data(), text.data(), text.size())) {
            return {entry.value, false};
        }
    }
    entries_.push_back({text, tag, value});
    slots_[at] = std::uint64_t{h} << 32 | entries_.size();
    if (2 * entries_.size() > slots_.size()) grow();
    return {value, true};
}

void TextMap::clear() noexcept {
    entries_.clear();
    std::fill(slots_.begin(), slots_.end(), 0);
}

void TextMap::grow() {
    std::vector<std::uint64_t> old(slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const std::uint64_t slot : old) {
        if (slot == 0) continue;
        std::size_t at = (slot >> 32) & mask;
        while (slots_[at] != 0) at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

}  // namespace vexlo
