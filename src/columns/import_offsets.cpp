#include "columns/import_checks.h"

namespace vexlo {
namespace {

// The first index in (begin, end] whose offset is below the one before it,
// or end + 1 when they never decrease. Nearly every column is sound: it is
// read through once without stopping (a loop the compiler can vectorise),
// and searched only when it is not.
template <class Offset>
std::int64_t first_decrease(const void* buffer, std::int64_t begin, std::int64_t end) {
    const Offset* const offsets = static_cast<const Offset*>(buffer);
    bool decreases = false;
    for (std::int64_t i = begin + 1; i <= end; ++i) decreases |= offsets[i] < offsets[i - 1];
    if (!decreases) return end + 1;
    std::int64_t i = begin + 1;
    while (offsets[i] >= offsets[i - 1]) ++i;
    return i;
}

}  // namespace

using import_detail::format_text;
using import_detail::known_size;
using import_detail::value_problem;

ImportResult ColumnImporter::offsets(StringColumn column, const ArrowArray& array,
                                     std::span<const std::int64_t> sizes) {
    const std::int64_t offset = column.offset_;
    const std::int64_t length = column.length_;
    const std::int64_t end = offset + length;
    const bool wide = column.layout_ == StringColumn::Layout::kOffsets64;
    const void* offsets = array.buffers[1];
    const char* data = static_cast<const char*>(array.buffers[2]);
    if (offsets == nullptr) return value_problem("the offsets buffer is missing");
    const std::int64_t width = wide ? 8 : 4;
    const std::int64_t known_offsets = known_size(sizes, 1);
    if (known_offsets >= 0 && known_offsets / width < end + 1) {
        return value_problem(format_text("the offsets buffer holds %" PRId64
                                         " bytes, offset %" PRId64 " and length %" PRId64
                                         " need %" PRId64,
                                         known_offsets, offset, length, (end + 1) * width));
    }
    const auto read = [&](std::int64_t i) -> std::int64_t {
        return wide ? static_cast<const std::int64_t*>(offsets)[i]
                    : static_cast<const std::int32_t*>(offsets)[i];
    };
    const std::int64_t first = read(offset);
    if (first < 0) {
        return value_problem(format_text("offset %" PRId64 " at index %" PRId64 " is negative",
                                         first, offset));
    }
    // One loop per width: the width is not asked again for every offset.
    const std::int64_t decrease = wide ? first_decrease<std::int64_t>(offsets, offset, end)
                                       : first_decrease<std::int32_t>(offsets, offset, end);
    if (decrease <= end) {
        return value_problem(format_text("offsets decrease at index %" PRId64 " (%" PRId64
                                         " then %" PRId64 ")",
                                         decrease, read(decrease - 1), read(decrease)));
    }
    const std::int64_t last = read(end);
    const std::int64_t known_data = known_size(sizes, 2);
    if (known_data >= 0 && last > known_data) {
        return value_problem(format_text("offsets reach byte %" PRId64
                                         " but the data buffer holds %" PRId64 " bytes",
                                         last, known_data));
    }
    if (data == nullptr && last > first) return value_problem("the data buffer is missing");
    column.offsets_ = offsets;
    column.data_ = data;
    column.text_bytes_ = static_cast<std::uint64_t>(last - first);
    return column;
}

}  // namespace vexlo
