// The allocator calls of Allocation.h with a failure switch, linked into
// test programs in place of the shipped Allocation.cpp (AllocationTesting.h).
#include "containers/Allocation.h"
#include "containers/AllocationTesting.h"

#include <cstdlib>

namespace brenn::allocation {

namespace {

long remaining = -1;  // successes left before failures; -1: never fail

bool mayAllocate() {
    if (remaining < 0) return true;
    if (remaining == 0) return false;
    --remaining;
    return true;
}

}  // namespace

void* allocate(std::size_t size) { return mayAllocate() ? std::malloc(size) : nullptr; }

void* reallocate(void* block, std::size_t size) {
    return mayAllocate() ? std::realloc(block, size) : nullptr;
}

void release(void* block) { std::free(block); }

void testing::failAfter(long successes) { remaining = successes; }

}  // namespace brenn::allocation
