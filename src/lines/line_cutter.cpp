#include "lines/line_cutter.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexlo::lines {

const char* find_newline(const char* from, const char* end) noexcept {
#if defined(__SSE2__)
    const __m128i newline = _mm_set1_epi8('\n');
    for (; end - from >= 16; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        if (const unsigned mask =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline)))) {
            return from + std::countr_zero(mask);
        }
    }
#endif
    while (from < end && *from != '\n') ++from;
    return from;
}

}  // namespace vexlo::lines
