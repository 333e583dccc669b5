// The engine's case-insensitive string hash.
#pragma once

#include <cstdint>

namespace brenn {

// Hash of a NUL-terminated text reduced modulo bucketCount (0 gives the
// unreduced 32-bit hash).
// Texts that differ only in the case of ASCII letters hash alike; the empty
// text hashes to 0. Each byte is widened as a signed 8-bit value, 'A'-'Z'
// lowered, then h = c - h * 0x63306CE7 (mod 2^32).
std::uint32_t stringHash(const char* text, std::uint32_t bucketCount);

}  // namespace brenn
