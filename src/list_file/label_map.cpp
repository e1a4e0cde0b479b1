#include "list_file/label_map.h"

#include <bit>

namespace vexlo::list_file {

namespace {

std::uint64_t hash(std::uint32_t tag, std::string_view label) noexcept {
    std::uint64_t h = 0xcbf29ce484222325u ^ (std::uint64_t{tag} * 0x9e3779b97f4a7c15u);
    for (char c : label) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    return h ^ (h >> 29);
}

}  // namespace

LabelMap::LabelMap(std::size_t expected) : slots_(std::bit_ceil(expected * 2 + 16)) {}

std::size_t LabelMap::slot_of(std::uint32_t tag, std::string_view label) const noexcept {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash(tag, label) & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (!slot.used || (slot.tag == tag && slot.label == label)) return at;
    }
}

std::pair<std::uint32_t, bool> LabelMap::emplace(std::uint32_t tag, std::string_view label,
                                                 std::uint32_t value) {
    Slot* slot = &slots_[slot_of(tag, label)];
    if (slot->used) return {slot->value, false};
    if (2 * (used_ + 1) > slots_.size()) {
        grow();
        slot = &slots_[slot_of(tag, label)];
    }
    *slot = Slot{label, tag, true, value};
    ++used_;
    return {value, true};
}

void LabelMap::grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
        if (slot.used) slots_[slot_of(slot.tag, slot.label)] = slot;
    }
}

}  // namespace vexlo::list_file
