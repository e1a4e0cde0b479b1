#include "list_file/label_map.h"

#include <bit>

namespace vexlo::list_file {

namespace {

std::uint32_t hash(std::uint32_t tag, std::string_view label) noexcept {
    std::uint64_t h = 0xcbf29ce484222325u ^ (std::uint64_t{tag} * 0x9e3779b97f4a7c15u);
    for (char c : label) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    h ^= h >> 32;
    return static_cast<std::uint32_t>(h ^ (h >> 15));
}

}  // namespace

LabelMap::LabelMap(std::size_t expected) : slots_(std::bit_ceil(expected * 2 + 16)) {
    entries_.reserve(expected);
}

std::pair<std::uint32_t, bool> LabelMap::emplace(std::uint32_t tag, std::string_view label,
                                                 std::uint32_t value) {
    const std::uint32_t h = hash(tag, label);
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = h & mask;
    for (;; at = (at + 1) & mask) {
        const std::uint64_t slot = slots_[at];
        if (slot == 0) break;
        if (static_cast<std::uint32_t>(slot >> 32) != h) continue;
        const Entry& entry = entries_[static_cast<std::uint32_t>(slot) - 1];
        if (entry.tag == tag && entry.label == label) return {entry.value, false};
    }
    entries_.push_back({label, tag, value});
    slots_[at] = std::uint64_t{h} << 32 | entries_.size();
    if (2 * entries_.size() > slots_.size()) grow();
    return {value, true};
}

void LabelMap::grow() {
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

}  // namespace vexlo::list_file
