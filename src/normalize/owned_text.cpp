#include "normalize/owned_text.h"

#include <algorithm>
#include <cstdio>

namespace vexlo {

void allocation_failed(std::size_t bytes) noexcept {
    std::fprintf(stderr, "memory allocation of %zu bytes failed\n", bytes);
    std::abort();
}

OwnedText& OwnedText::operator=(OwnedText&& other) noexcept {
    if (this != &other) {
        std::free(heap_);
        heap_ = other.heap_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        if (heap_ == nullptr && size_ != 0) std::memcpy(inline_, other.inline_, size_);
        other.heap_ = nullptr;
        other.size_ = 0;
        other.capacity_ = kInlineCapacity;
    }
    return *this;
}

void OwnedText::reserve_exact(std::size_t capacity) noexcept {
    heap_ = static_cast<char*>(std::malloc(capacity));
    if (heap_ == nullptr) allocation_failed(capacity);
    capacity_ = capacity;
}

void OwnedText::grow_to(std::size_t needed) noexcept {
    if (needed <= capacity_) return;
    const std::size_t target = std::max(capacity_ * 2, needed);
    char* grown;
    if (heap_ != nullptr) {
        grown = static_cast<char*>(std::realloc(heap_, target));
    } else {
        grown = static_cast<char*>(std::malloc(target));
        if (grown != nullptr) std::memcpy(grown, inline_, size_);
    }
    if (grown == nullptr) allocation_failed(target);
    heap_ = grown;
    capacity_ = target;
}

}  // namespace vexlo
