// The engine's allocator calls, as shipped: the C allocator's. Tests link
// containers/FailingAllocation.cpp in their place.
#include "containers/Allocation.h"

#include <cstdlib>

namespace brenn::allocation {

void* allocate(std::size_t size) { return std::malloc(size); }

void* reallocate(void* block, std::size_t size) { return std::realloc(block, size); }

void release(void* block) { std::free(block); }

}  // namespace brenn::allocation
