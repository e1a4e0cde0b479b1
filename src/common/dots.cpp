#include "common/dots.h"

namespace vexlo {

std::size_t rightmost_labels_start_long(const char* text, std::size_t size, std::uint64_t dots,
                                        std::size_t count) noexcept {
    LabelCursor<> cursor(text, size, dots);
    while (true) {
        const std::size_t start = cursor.start();
        if (--count == 0) return start;
        cursor.step(start);
    }
}

}  // namespace vexlo
