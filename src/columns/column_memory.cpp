#include "columns/column_memory.h"

#include <new>

namespace vexlo::column_memory {
namespace {

// A block of size 0 is one of 1 byte, so that null always means failure.
void* checked(void* block) {
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

void* allocate(std::size_t bytes) { return checked(std::malloc(bytes == 0 ? 1 : bytes)); }
void* allocate_zeroed(std::size_t bytes) { return checked(std::calloc(bytes == 0 ? 1 : bytes, 1)); }
void* reallocate(void* block, std::size_t bytes) {
    return checked(std::realloc(block, bytes == 0 ? 1 : bytes));
}

}  // namespace vexlo::column_memory
