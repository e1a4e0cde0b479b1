// A growable UTF-8 buffer owned by one lookup. Names up to kInlineCapacity
// bytes (nearly all real ones) never touch the heap; longer ones take one
// allocation, grown geometrically if lowercasing lengthens the text.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace vexlo {

// Running out of vexlo's own memory is not reported to the caller: the process
// ends with "memory allocation of N bytes failed" on standard error.
[[noreturn]] void allocation_failed(std::size_t bytes) noexcept;

class OwnedText {
public:
    static constexpr std::size_t kInlineCapacity = 96;

    // Not `= default`: value-initialising would then zero the inline store.
    OwnedText() noexcept {}
    explicit OwnedText(std::size_t capacity) noexcept {
        if (capacity > kInlineCapacity) reserve_exact(capacity);
    }
    ~OwnedText() {
        if (heap_ != nullptr) std::free(heap_);
    }

    // Construction and destruction are inline so that creating a record and
    // moving a still-empty buffer into place costs a few stores.
    OwnedText(OwnedText&& other) noexcept
        : heap_(other.heap_), size_(other.size_), capacity_(other.capacity_) {
        if (heap_ == nullptr && size_ != 0) std::memcpy(inline_, other.inline_, size_);
        other.heap_ = nullptr;
        other.size_ = 0;
        other.capacity_ = kInlineCapacity;
    }
    OwnedText& operator=(OwnedText&& other) noexcept;
    OwnedText(const OwnedText&) = delete;
    OwnedText& operator=(const OwnedText&) = delete;

    char* data() noexcept { return heap_ != nullptr ? heap_ : inline_; }
    const char* data() const noexcept { return heap_ != nullptr ? heap_ : inline_; }
    std::size_t size() const noexcept { return size_; }
    std::size_t capacity() const noexcept { return capacity_; }
    std::string_view view() const noexcept { return {data(), size_}; }

    void set_size(std::size_t size) noexcept { size_ = size; }
    // Room for at least `needed` bytes: the larger of twice the capacity and
    // `needed`. The first size() bytes are kept.
    void grow_to(std::size_t needed) noexcept;

private:
    void reserve_exact(std::size_t capacity) noexcept;

    char* heap_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = kInlineCapacity;
    char inline_[kInlineCapacity];
};

}  // namespace vexlo
