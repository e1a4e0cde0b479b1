#include <limits>

#include "columns/import_checks.h"

namespace vexlo::import_detail {

std::string header_fault(const ArrowArray& array, std::int64_t slot_bytes, const char* what) {
    if (array.release == nullptr) return "the array was already released";
    const std::int64_t length = array.length;
    const std::int64_t offset = array.offset;
    if (length < 0) return format_text("negative length %" PRId64, length);
    if (offset < 0) return format_text("negative offset %" PRId64, offset);
    // -1 is the interface's "not computed".
    if (array.null_count < -1) return format_text("negative null_count %" PRId64, array.null_count);
    if (array.null_count > length) {
        return format_text("null_count %" PRId64 " exceeds the length %" PRId64, array.null_count,
                           length);
    }
    if (offset > std::numeric_limits<std::int64_t>::max() / slot_bytes - length) {
        return format_text("offset %" PRId64 " plus length %" PRId64 " is out of range", offset,
                           length);
    }
    if (array.n_children != 0) {
        return format_text("a %s array has no children, this one has %" PRId64, what,
                           array.n_children);
    }
    return {};
}

std::string validity_fault(const ArrowArray& array, std::span<const std::int64_t> sizes) {
    const auto* validity = static_cast<const std::uint8_t*>(array.buffers[0]);
    if (validity == nullptr) {
        if (array.null_count > 0) {
            return format_text("null_count is %" PRId64 " but there is no validity bitmap",
                               array.null_count);
        }
        return {};
    }
    const std::int64_t known = known_size(sizes, 0);
    const std::int64_t needed = bitmap_bytes(array.offset + array.length);
    if (array.length > 0 && known >= 0 && known < needed) {
        return format_text("the validity bitmap holds %" PRId64 " bytes, offset %" PRId64
                           " and length %" PRId64 " need %" PRId64,
                           known, array.offset, array.length, needed);
    }
    return {};
}

}  // namespace vexlo::import_detail
