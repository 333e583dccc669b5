// A copy of a text through the engine's allocator: in a file of its own, so
// that test programs, which link their failing allocator in place of
// Allocation.cpp, take this one definition from the library too.
#include "containers/Allocation.h"

#include <cstring>

namespace brenn::allocation {

char* duplicateText(const char* text) {
    if (text == nullptr) return nullptr;
    const std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(allocate(size));
    if (copy != nullptr) std::memcpy(copy, text, size);
    return copy;
}

}  // namespace brenn::allocation
