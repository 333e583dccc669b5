// The drivers' command lines (pass_driver, live_driver): a number option.
#pragma once

#include <cstdlib>

namespace brenn::bench {

// True with *out set when text is a whole decimal number in [low, high];
// false, *out unchanged, otherwise.
inline bool parseNumber(const char* text, int low, int high, int* out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) return false;
    *out = static_cast<int>(value);
    return true;
}

}  // namespace brenn::bench
