#include "failing_memory.h"

#include <atomic>
#include <new>

#include "columns/column_memory.h"

namespace vexlo {
namespace {

std::atomic<long> failure_countdown{0};

// True when this allocation is the one to fail.
bool injected_failure() noexcept {
    if (failure_countdown.load(std::memory_order_relaxed) == 0) return false;
    return failure_countdown.fetch_sub(1, std::memory_order_relaxed) == 1;
}

}  // namespace

void testing::fail_allocation_after(long countdown) noexcept {
    failure_countdown.store(countdown < 0 ? 0 : countdown, std::memory_order_relaxed);
}

void* column_memory::allocate(std::size_t bytes) {
    void* block = injected_failure() ? nullptr : std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* column_memory::allocate_zeroed(std::size_t bytes) {
    void* block = injected_failure() ? nullptr : std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* column_memory::reallocate(void* block, std::size_t bytes) {
    void* grown = injected_failure() ? nullptr : std::realloc(block, bytes == 0 ? 1 : bytes);
    if (grown == nullptr) throw std::bad_alloc();
    return grown;
}

}  // namespace vexlo
