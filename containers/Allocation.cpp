// The engine's allocator calls, as shipped: the C allocator's. Tests link
// containers/FailingAllocation.cpp in their place.
#include "containers/Allocation.h"

#include <cstdlib>
#include <cstring>

namespace brenn::allocation {

void* allocate(std::size_t size) { return std::malloc(size); }

void* reallocate(void* block, std::size_t size) { return std::realloc(block, size); }

void release(void* block) { std::free(block); }

char* duplicateText(const char* text) {
    if (text == nullptr) return nullptr;
    const std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(allocate(size));
    if (copy != nullptr) std::memcpy(copy, text, size);
    return copy;
}

}  // namespace brenn::allocation
