#include "columns/column_ranges.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace vexlo {
namespace {

// Adds `base` to values[from, to).
template <class Offset>
void shift_offsets(void* values, std::int64_t from, std::int64_t to, std::int64_t base) {
    Offset* const offsets = static_cast<Offset*>(values);
    for (std::int64_t i = from; i < to; ++i) offsets[i] = static_cast<Offset>(offsets[i] + base);
}

// Gives the whole pages within [begin, end) back to the system; their bytes
// read as zero if touched again. Only for bytes nothing will read.
void release_pages(char* begin, char* end) noexcept {
    static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) & ~(page - 1);
    const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(end) & ~(page - 1);
    if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

// Moves the `count` values of type T at buffer[from] down to buffer[to]
// (to <= from), adding `base` to each, a piece at a time; the pages of the
// pieces moved that lie past the moved values' new end are given back at
// once, so that the move never holds much more than the values once.
template <class T>
void move_down(T* buffer, std::size_t to, std::size_t from, std::size_t count, T base) {
    constexpr std::size_t kPiece = (std::size_t{1} << 20) / sizeof(T);
    for (std::size_t done = 0; done < count; done += kPiece) {
        const std::size_t piece = std::min(kPiece, count - done);
        T* const source = buffer + from + done;
        T* const target = buffer + to + done;
        if (base == 0) {
            std::memmove(target, source, piece * sizeof(T));
        } else {
            // Target before source: front to back reads each value before
            // it is overwritten.
            for (std::size_t j = 0; j < piece; ++j) target[j] = static_cast<T>(source[j] + base);
        }
        release_pages(reinterpret_cast<char*>(std::max(source, target + piece)),
                      reinterpret_cast<char*>(source + piece));
    }
}

}  // namespace

std::vector<RangeOutput> cut_ranges(std::int64_t length, unsigned threads) {
    const std::int64_t wanted = std::max<std::int64_t>(1, threads);
    const std::int64_t words = (length + kRangeAlign - 1) / kRangeAlign;
    const std::int64_t words_per_range =
        std::max<std::int64_t>(1, (words + wanted - 1) / wanted);
    // As many ranges as that takes: none of them empty (but the one range of
    // an empty column).
    const std::int64_t count = std::max<std::int64_t>(1, (words + words_per_range - 1) / words_per_range);
    std::vector<RangeOutput> ranges(static_cast<std::size_t>(count));
    for (std::int64_t k = 0; k < count; ++k) {
        ranges[static_cast<std::size_t>(k)].begin = std::min(length, k * words_per_range * kRangeAlign);
        ranges[static_cast<std::size_t>(k)].end = std::min(length, (k + 1) * words_per_range * kRangeAlign);
    }
    return ranges;
}

template <class TextOffset, class ListOffset>
void stitch_ranges(ResultColumn& result, const std::vector<RangeOutput>& ranges) {
    const bool parts = result.type.kind == ResultType::Kind::kParts;
    std::size_t data_end = ranges[0].data_size;
    std::int64_t items = ranges[0].items;
    for (std::size_t k = 1; k < ranges.size(); ++k) {
        const RangeOutput& range = ranges[k];
        move_down(result.data.as<char>(), data_end, range.data_start, range.data_size, char{0});
        if (!parts) {
            shift_offsets<TextOffset>(result.values.data(), range.begin + 1, range.end + 1,
                                      static_cast<std::int64_t>(data_end));
        } else {
            move_down(result.item_offsets.as<TextOffset>() + 1, static_cast<std::size_t>(items),
                      range.items_start, static_cast<std::size_t>(range.items),
                      static_cast<TextOffset>(data_end));
            shift_offsets<ListOffset>(result.values.data(), range.begin + 1, range.end + 1, items);
        }
        data_end += range.data_size;
        items += range.items;
    }
    result.data.resize(data_end);
    if (parts) {
        result.item_offsets.resize(static_cast<std::size_t>(items + 1) * sizeof(TextOffset));
        result.item_count = items;
    }
}

// The offset widths answer_column uses.
template void stitch_ranges<std::int32_t, std::int32_t>(ResultColumn&, const std::vector<RangeOutput>&);
template void stitch_ranges<std::int64_t, std::int32_t>(ResultColumn&, const std::vector<RangeOutput>&);
template void stitch_ranges<std::int64_t, std::int64_t>(ResultColumn&, const std::vector<RangeOutput>&);

}  // namespace vexlo
