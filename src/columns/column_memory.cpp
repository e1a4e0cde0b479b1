#include "columns/column_memory.h"

#include <new>

namespace vexlo::column_memory {

void* allocate(std::size_t bytes) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* allocate_zeroed(std::size_t bytes) {
    void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* reallocate(void* block, std::size_t bytes) {
    void* grown = std::realloc(block, bytes == 0 ? 1 : bytes);
    if (grown == nullptr) throw std::bad_alloc();
    return grown;
}

}  // namespace vexlo::column_memory
