// The engine's C allocator calls. Tests link a failing variant in their
// place (containers/AllocationTesting.h) to check that failures leave
// everything as it was.
#pragma once

#include <cstddef>

namespace brenn::allocation {

// malloc, realloc and free. Each returns null on failure and then changes
// nothing (realloc keeps the old block).
void* allocate(std::size_t size);
void* reallocate(void* block, std::size_t size);
void release(void* block);
// strdup through allocate: a new copy of text, or null (also for null text).
char* duplicateText(const char* text);

}  // namespace brenn::allocation
