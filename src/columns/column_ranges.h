// A column answered in ranges, one per thread: where each range starts and
// ends, and the region of the shared result buffers that it writes. Each
// range gets room for the most its answers can take, so that no range ever
// grows or copies its output while answering; stitch_ranges then moves each
// range's output down behind the one before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "columns/result_column.h"

namespace vexlo {

// Ranges start at multiples of this, so each thread writes whole bytes (and
// words) of the bitmaps.
inline constexpr std::int64_t kRangeAlign = 64;

// Every range's data region has this much room past the bytes its answers
// may take, for copies made sixteen bytes at a time.
inline constexpr std::size_t kCopySlack = 16;

struct RangeOutput {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    // The range's region of the shared data buffer (text or items), where
    // it writes data_size bytes from its start; offsets into it count from
    // there.
    std::size_t data_start = 0;
    std::size_t data_size = 0;
    // Parts: the range's region of the shared item offsets (after the
    // leading 0), where it writes `items` offsets.
    std::size_t items_start = 0;
    std::int64_t items = 0;
    std::int64_t nulls = 0;
};

// The result's buffers that every range writes its own part of.
struct SharedBuffers {
    std::uint8_t* validity;
    void* values;
    char* data;
    void* item_offsets;  // parts
};

// `length` elements cut into at most `threads` ranges of whole bitmap words
// (at least one range, empty for an empty column).
std::vector<RangeOutput> cut_ranges(std::int64_t length, unsigned threads);

// After every range has answered: each range's text (or items) moved down
// behind the one before it and its offsets shifted by what went before; the
// result's data (and items) cut to what was written. Not for bool results.
template <class TextOffset, class ListOffset>
void stitch_ranges(ResultColumn& result, const std::vector<RangeOutput>& ranges);

}  // namespace vexlo
