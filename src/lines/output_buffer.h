// The growable byte buffer that rows are written into. Writers ask for room
// first and then store without further checks.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

namespace vexlo::lines {

class OutputBuffer {
public:
    OutputBuffer() noexcept = default;
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;
    ~OutputBuffer() { std::free(data_); }

    // A cursor with room for `bytes` more bytes; throws std::bad_alloc when
    // the memory cannot be had. Pass the cursor past what was written to
    // commit().
    char* room(std::size_t bytes) {
        if (capacity_ - size_ < bytes) grow(bytes);
        return data_ + size_;
    }
    void commit(char* end) noexcept { size_ = static_cast<std::size_t>(end - data_); }

    void append(std::string_view text) {
        char* out = room(text.size());
        if (!text.empty()) std::memcpy(out, text.data(), text.size());
        commit(out + text.size());
    }

    std::size_t size() const noexcept { return size_; }
    std::string_view view() const noexcept { return {data_, size_}; }

private:
    void grow(std::size_t bytes) {
        if (bytes > kMaxSize - size_) throw std::bad_alloc();
        std::size_t capacity = capacity_ < kMinCapacity ? kMinCapacity : capacity_;
        while (capacity - size_ < bytes) {
            capacity = capacity > kMaxSize / 2 ? kMaxSize : capacity * 2;
        }
        char* grown = static_cast<char*>(std::realloc(data_, capacity));
        if (grown == nullptr) throw std::bad_alloc();
        data_ = grown;
        capacity_ = capacity;
    }

    static constexpr std::size_t kMinCapacity = 4096;
    static constexpr std::size_t kMaxSize = static_cast<std::size_t>(-1) / 4;

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace vexlo::lines
