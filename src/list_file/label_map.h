// A hash map from a tag and a label to a 32-bit value, for the table builder:
// the child of a node by its label, the pool span of a label's text, the
// rules already listed. Open addressing over views of bytes that outlive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace vexlo::list_file {

class LabelMap {
public:
    explicit LabelMap(std::size_t expected);

    // The value stored for (tag, label) and false; or, when there is none,
    // `value` stored for it and true.
    std::pair<std::uint32_t, bool> emplace(std::uint32_t tag, std::string_view label,
                                           std::uint32_t value);
    std::size_t size() const noexcept { return used_; }

private:
    struct Slot {
        std::string_view label;
        std::uint32_t tag = 0;
        bool used = false;
        std::uint32_t value = 0;
    };

    std::size_t slot_of(std::uint32_t tag, std::string_view label) const noexcept;
    void grow();

    std::vector<Slot> slots_;  // a power of two in size, at most half used
    std::size_t used_ = 0;
};

}  // namespace vexlo::list_file
