// The element functions the engine gives its containers.
#include "containers/ElementFunctions.h"

#include "containers/Allocation.h"
#include "containers/StringHash.h"

#include <cstring>

namespace brenn {

namespace {

const char* firstText(const void* element) {
    const char* text;
    std::memcpy(&text, element, sizeof text);
    return text;
}

unsigned lowered(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

}  // namespace

int compareNoCase(const char* a, const char* b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        const unsigned cx = lowered(*x);
        const unsigned cy = lowered(*y);
        if (cx != cy || cx == 0) return static_cast<int>(cx) - static_cast<int>(cy);
    }
}

namespace elements {

std::uint32_t hashText(const void* element, std::uint32_t bucketCount) {
    return stringHash(firstText(element), bucketCount);
}

int compareTextNoCase(const void* a, const void* b) { return compareNoCase(firstText(a), firstText(b)); }

int compareText(const void* a, const void* b) { return std::strcmp(firstText(a), firstText(b)); }

int compareFirstAddress(const void* a, const void* b) {
    const auto x = reinterpret_cast<std::uintptr_t>(firstText(a));
    const auto y = reinterpret_cast<std::uintptr_t>(firstText(b));
    return x == y ? 0 : (x < y ? -1 : 1);
}

void freeText(void* element) {
    char* text;
    std::memcpy(&text, element, sizeof text);
    allocation::release(text);
}

}  // namespace elements

}  // namespace brenn
