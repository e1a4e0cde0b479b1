// Memory for result buffers: plain malloc blocks, so that a result can be
// grown in place (realloc; glibc remaps large blocks instead of copying them)
// and handed to an Arrow consumer whose release callback frees it. Running
// out of memory throws std::bad_alloc, which the Python glue turns into a
// MemoryError after releasing whatever it holds. The three allocating
// functions are all that column_memory.cpp defines, so that the C++ tests
// can link their own in its place, which fail on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace vexlo {

namespace column_memory {
// These throw std::bad_alloc on failure; never return null (size 0 included).
void* allocate(std::size_t bytes);
void* allocate_zeroed(std::size_t bytes);
// On failure `block` is left as it was.
void* reallocate(void* block, std::size_t bytes);
}  // namespace column_memory

// One malloc block and its size in bytes.
class Buffer {
public:
    Buffer() noexcept = default;
    explicit Buffer(std::size_t bytes) : data_(column_memory::allocate(bytes)), size_(bytes) {}
    Buffer(Buffer&& other) noexcept : data_(other.data_), size_(other.size_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    Buffer& operator=(Buffer&& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        return *this;
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() { std::free(data_); }

    static Buffer zeroed(std::size_t bytes) {
        Buffer buffer;
        buffer.data_ = column_memory::allocate_zeroed(bytes);
        buffer.size_ = bytes;
        return buffer;
    }

    // Keeps the first min(size, bytes) bytes; throws and keeps all on failure.
    void resize(std::size_t bytes) {
        data_ = column_memory::reallocate(data_, bytes);
        size_ = bytes;
    }

    template <class T = unsigned char>
    T* as() noexcept {
        return static_cast<T*>(data_);
    }
    template <class T = unsigned char>
    const T* as() const noexcept {
        return static_cast<const T*>(data_);
    }
    void* data() noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return data_ == nullptr; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace vexlo
