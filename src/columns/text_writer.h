// Writing text answers into a range's region of the shared result buffers:
// the bytes, each element's end offset and its validity bit, one element
// after another; and the short copies that put the bytes there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "columns/bit_writer.h"
#include "columns/column_ranges.h"
#include "common/simd.h"

namespace vexlo {

// Copies `size` bytes from `from`, which may be read up to sixteen bytes past
// them, to `to`, which may be written as far: whole sixteen-byte words,
// without a call.
inline void copy_padded(char* to, const char* from, std::size_t size) noexcept {
    for (std::size_t at = 0; at < size; at += simd::kBlockBytes) {
        simd::store(to + at, simd::load(from + at));
    }
}

// Copies `size` bytes, reading none beyond them, in sixteen-byte words
// without a call (hosts are short; the library call costs more than the copy).
inline void copy_exact(char* to, const char* from, std::size_t size) noexcept {
    std::size_t at = 0;
    for (; size - at > simd::kBlockBytes; at += simd::kBlockBytes) {
        simd::store(to + at, simd::load(from + at));
    }
    simd::store_partial(to + at, simd::load_partial(from + at, size - at), size - at);
}

// The text answers of one block of a range, written in element order.
template <class TextOffset>
class TextWriter {
public:
    TextWriter(SharedBuffers shared, RangeOutput& range, std::int64_t block) noexcept
        : range_(range),
          base_(shared.data + range.data_start),
          out_(base_ + range.data_size),
          offsets_(static_cast<TextOffset*>(shared.values) + block + 1),
          validity_(shared.validity, block) {}

    // Where the next answer's bytes go.
    char* out() const noexcept { return out_; }
    // The next element's answer ends at `end`.
    void answered(char* end) noexcept {
        out_ = end;
        put(true);
    }
    // The next element has none: it is null.
    void none() noexcept {
        ++nulls_;
        put(false);
    }
    void finish() noexcept {
        validity_.finish(count_);
        range_.data_size = static_cast<std::size_t>(out_ - base_);
        range_.nulls += nulls_;
    }

private:
    void put(bool valid) noexcept {
        validity_.put(count_, valid);
        offsets_[count_++] = static_cast<TextOffset>(out_ - base_);
    }

    RangeOutput& range_;
    char* const base_;
    char* out_;
    TextOffset* const offsets_;
    BitWriter validity_;
    std::size_t count_ = 0;
    std::int64_t nulls_ = 0;
};

}  // namespace vexlo
