// The engine's case-insensitive string hash.
#include "containers/StringHash.h"

namespace brenn {

std::uint32_t stringHash(const char* text, std::uint32_t bucketCount) {
    std::uint32_t h = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        std::int32_t c = static_cast<signed char>(*p);
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
        h = static_cast<std::uint32_t>(c) - h * 0x63306CE7u;
    }
    return bucketCount == 0 ? h : h % bucketCount;
}

}  // namespace brenn
