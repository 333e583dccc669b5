// The engine's C allocator calls, with a switch that makes allocations fail
// so that tests can check that failures leave everything as it was.
#pragma once

#include <cstddef>

namespace brenn::allocation {

// malloc, realloc and free, unless a failure is armed. Each returns null on
// failure and then changes nothing (realloc keeps the old block).
void* allocate(std::size_t size);
void* reallocate(void* block, std::size_t size);
void release(void* block);
// strdup through allocate: a new copy of text, or null (also for null text).
char* duplicateText(const char* text);

// Test hook: the allocations after the next `successes` ones fail, until
// disarmed. failAfter(-1) disarms. Not for use outside tests.
void failAfter(long successes);

}  // namespace brenn::allocation
