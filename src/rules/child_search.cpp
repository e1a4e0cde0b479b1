// The rare end of the child search: a label of eight bytes or more whose key
// several siblings share (the same first eight bytes). The keys cannot tell
// them apart, so their bytes are compared, by a binary search over the run
// up to the last of them.
#include "rules/child_search.h"

#include <string_view>

namespace vexlo::child_search_detail {

std::int32_t child_among_equal_keys(const RuleTables& tables, const std::uint64_t* run,
                                    const std::uint64_t* found, const char* label,
                                    std::size_t length) noexcept {
    const std::string_view wanted(label, length);
    const TrieEdge* const edges = tables.edges + (run - tables.keys);
    const auto label_of = [&](std::size_t i) {
        return std::string_view(tables.pool + edges[i].label_start,
                                edges[i].label_end - edges[i].label_start);
    };
    std::size_t low = 0;
    std::size_t high = static_cast<std::size_t>(found - run) + 1;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (label_of(mid) < wanted) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    if (low > static_cast<std::size_t>(found - run) || label_of(low) != wanted) return 0;
    return edges[low].child < 0 ? 0 : edges[low].child;
}

}  // namespace vexlo::child_search_detail
