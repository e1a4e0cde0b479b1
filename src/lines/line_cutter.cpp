#include "lines/line_cutter.h"

#include <bit>

#include "common/simd.h"

namespace vexlo::lines {

const char* find_newline(const char* from, const char* end) noexcept {
    for (; end - from >= 16; from += 16) {
        if (const unsigned mask = simd::bits(simd::equal(simd::load(from), '\n'))) {
            return from + std::countr_zero(mask);
        }
    }
    while (from < end && *from != '\n') ++from;
    return from;
}

}  // namespace vexlo::lines
