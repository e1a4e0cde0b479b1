// Writing a block of an Arrow bitmap (validity, or a bool column's values) a
// word at a time: each element's bit is gathered into a 64-bit word, which is
// stored once it is full or the block ends.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexlo {

// The bits of one block of a bitmap. Blocks start at multiples of 64
// elements.
class BitWriter {
public:
    BitWriter(std::uint8_t* bitmap, std::int64_t first) noexcept : bytes_(bitmap + first / 8) {}
    void put(std::size_t k, bool bit) noexcept {
        word_ |= std::uint64_t{bit} << (k & 63);
        if ((k & 63) == 63) flush(k);
    }
    // After the block's last element, k.
    void finish(std::size_t count) noexcept {
        if (count % 64 != 0) flush(count - 1);
    }

private:
    void flush(std::size_t k) noexcept {
        // Only the bytes of elements up to k: the bitmap may end there.
        const std::size_t bytes = (k & 63) / 8 + 1;
        std::uint8_t* const to = bytes_ + (k / 64) * 8;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(to, &word_, bytes);
        } else {
            for (std::size_t b = 0; b < bytes; ++b) to[b] = static_cast<std::uint8_t>(word_ >> (8 * b));
        }
        word_ = 0;
    }
    std::uint8_t* bytes_;
    std::uint64_t word_ = 0;
};

}  // namespace vexlo
