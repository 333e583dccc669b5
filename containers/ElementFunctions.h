// Element functions: the shapes of the hash, compare and free functions that
// containers call, and the ones the engine hands to its containers.
#pragma once

#include <cstdint>

namespace brenn {

// Releases what the element at `element` owns (never the slot itself).
using ElementFree = void (*)(void* element);
// Bucket index below bucketCount for the element (or a probe shaped like it).
using ElementHash = std::uint32_t (*)(const void* element, std::uint32_t bucketCount);
// 0 when equal; where an order is meant, negative puts a before b.
using ElementCompare = int (*)(const void* a, const void* b);

namespace elements {

// stringHash of the text whose address is the element's first member.
std::uint32_t hashText(const void* element, std::uint32_t bucketCount);
// Case-insensitive comparison of the texts the elements' first members
// point at: ASCII letters lowered, bytes compared as unsigned values.
int compareTextNoCase(const void* a, const void* b);
// Byte-wise comparison (strcmp) of the texts the elements' first members
// point at.
int compareText(const void* a, const void* b);
// 0 exactly when the elements' first members hold the same address;
// otherwise the sign follows the order of the two addresses.
int compareFirstAddress(const void* a, const void* b);
// Frees the text whose address the element holds.
void freeText(void* element);

}  // namespace elements

// Byte-wise comparison after lowering 'A'-'Z', bytes as unsigned values:
// negative, 0 or positive.
int compareNoCase(const char* a, const char* b);

}  // namespace brenn
